// Writes a 16 MiB image as an S-record file (S3 records of the default
// length) and reads it back, and prints the speed of each way in MB/s of
// S-record text. Usage: bench_srecord [folder] (default: the system's
// temporary folder).

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_arguments.h"
#include "engine/images/srecord_file.h"

namespace {

constexpr std::uint32_t kImageSize = 16u << 20;
constexpr std::uint32_t kBaseAddress = 0x08000000;
constexpr int kRounds = 3;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void WriteImage(const std::string& path, const std::vector<std::uint8_t>& image) {
  CSRecordFile file;
  file.OpenSRecordFile(path, CSRecordFile::kModeWrite);
  std::uint32_t written = 0;
  const std::uint8_t header[] = {'Q', 'u', 'i', 'l', 'l', 'o', 'n'};
  file.WriteSRecordBlock(header, sizeof header, 0, 0, written);
  file.WriteSRecordBlock(image.data(), kImageSize, kBaseAddress, 3, written);
  file.WriteSRecordBlock(nullptr, 0, kBaseAddress, 7, written);
  file.CloseSRecordFile();
}

bool ReadImage(const std::string& path, const std::vector<std::uint8_t>& image) {
  CSRecordFile file;
  file.OpenSRecordFile(path, CSRecordFile::kModeRead);
  std::vector<std::uint8_t> buffer(1 << 20);
  std::uint32_t address = 0, type = 0, length = 0;
  std::uint64_t seen = 0;
  bool same = true;
  for (;;) {
    file.ReadSRecordBlock(buffer.data(), static_cast<std::uint32_t>(buffer.size()), address, type, length);
    if (type >= 7) break;
    if (type != 3) continue;
    const std::uint64_t offset = address - kBaseAddress;
    same = same && offset + length <= image.size() &&
           std::equal(buffer.begin(), buffer.begin() + length, image.begin() + static_cast<std::ptrdiff_t>(offset));
    seen += length;
  }
  file.CloseSRecordFile();
  return same && seen == image.size();
}

}  // namespace

int main(int argc, char** argv) {
  constexpr const char* kUsage =
      "usage: bench_srecord [FOLDER]\n"
      "  Write a 16 MiB image as an S-record file in FOLDER (default: the\n"
      "  system's temporary folder), read it back, and print both speeds.\n";
  std::filesystem::path folder = std::filesystem::temp_directory_path();
  bool folderGiven = false;
  const auto takeFolder = [&](const char* word) {
    if (folderGiven) return false;
    folderGiven = true;
    folder = word;
    return true;
  };
  if (const int exit = ReadBenchArguments(argc, argv, kUsage, {}, takeFolder); exit >= 0) return exit;
  const std::string path = (folder / ("quillon-bench-" + std::to_string(::getpid()) + ".s19")).string();

  std::vector<std::uint8_t> image(kImageSize);
  std::mt19937 random(1);
  for (auto& byte : image) byte = static_cast<std::uint8_t>(random());

  double bestWrite = 1e9, bestRead = 1e9;
  try {
    for (int round = 0; round < kRounds; ++round) {
      auto start = std::chrono::steady_clock::now();
      WriteImage(path, image);
      bestWrite = std::min(bestWrite, Seconds(std::chrono::steady_clock::now() - start));
      start = std::chrono::steady_clock::now();
      if (!ReadImage(path, image)) {
        std::fprintf(stderr, "bench_srecord: the image read back differs\n");
        std::filesystem::remove(path);
        return 1;
      }
      bestRead = std::min(bestRead, Seconds(std::chrono::steady_clock::now() - start));
    }
  } catch (SREC_EXCEPTION e) {
    std::fprintf(stderr, "bench_srecord: %s\n", SRecordErrorText(e));
    std::filesystem::remove(path);
    return 1;
  }
  const double textBytes = static_cast<double>(std::filesystem::file_size(path));
  std::filesystem::remove(path);
  std::printf("S-record image of %u MiB: %.1f MB of S-record text\n", kImageSize >> 20, textBytes / 1e6);
  std::printf("write: %.0f MB/s (%.3f s)\n", textBytes / 1e6 / bestWrite, bestWrite);
  std::printf("read:  %.0f MB/s (%.3f s)\n", textBytes / 1e6 / bestRead, bestRead);
  return 0;
}
