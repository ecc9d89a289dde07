// Replays a fuzz target's seeds without a fuzzing engine: every file of the
// folders named on the command line (and every file named directly) is fed
// once, in name order, to the target's entry function. A broken invariant
// aborts the process, so the name of each file is printed before it is fed:
// the last name printed is the seed that failed. Files whose names start
// with "." are not seeds. A replay without any seed fails, so that a target
// cannot lose its corpus unnoticed.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Defined only by the targets that prepare something once.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

namespace fs = std::filesystem;

bool IsSeed(const fs::path& path) {
  const std::string name = path.filename().string();
  return !name.empty() && name.front() != '.';
}

// The seed files named by the arguments, sorted; false when an argument
// names nothing that can be read.
bool CollectSeeds(int argc, char** argv, std::vector<fs::path>& seeds) {
  for (int i = 1; i < argc; ++i) {
    const fs::path argument(argv[i]);
    std::error_code ec;
    if (fs::is_regular_file(argument, ec)) {
      seeds.push_back(argument);
      continue;
    }
    if (!fs::is_directory(argument, ec)) {
      std::fprintf(stderr, "replay: no such seed file or folder: %s\n", argv[i]);
      return false;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(argument, ec)) {
      if (entry.is_regular_file(ec) && IsSeed(entry.path())) seeds.push_back(entry.path());
    }
    if (ec) {
      std::fprintf(stderr, "replay: cannot list %s: %s\n", argv[i], ec.message().c_str());
      return false;
    }
  }
  std::sort(seeds.begin(), seeds.end());
  return true;
}

// A seed in a buffer of exactly its length, as the fuzzing engine hands
// its inputs over, so that the sanitizers see any read beyond the end (an
// empty seed, too, comes at an address of its own).
struct Seed {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;
};

bool ReadSeed(const fs::path& path, Seed& seed) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) return false;
  seed.size = static_cast<std::size_t>(size);
  seed.bytes = std::make_unique<std::uint8_t[]>(seed.size);
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(seed.bytes.get()), static_cast<std::streamsize>(seed.size));
  return in && static_cast<std::size_t>(in.gcount()) == seed.size;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> seeds;
  if (!CollectSeeds(argc, argv, seeds)) return 1;
  if (seeds.empty()) {
    std::fprintf(stderr, "replay: no seed files given\n");
    return 1;
  }
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  for (const fs::path& path : seeds) {
    Seed seed;
    if (!ReadSeed(path, seed)) {
      std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
      return 1;
    }
    // Printed before the call: an abort inside it ends the process here.
    std::fprintf(stderr, "replay: feeding %s (%zu bytes)\n", path.c_str(), seed.size);
    std::fflush(stderr);
    LLVMFuzzerTestOneInput(seed.bytes.get(), seed.size);
  }
  std::fprintf(stderr, "replay: %zu seeds passed\n", seeds.size());
  return 0;
}
