#pragma once
// A simulated GPS chip on a pseudo-terminal, reached by the library as COM5
// through a COM folder of the test's own.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ambrel/ambrel.h"
#include "gps_sim/chip_server.h"
#include "platform/temp_folder.h"
#include "session.h"

namespace gps_test {

using Bytes = std::vector<std::uint8_t>;
constexpr int kCom = 5;

inline Bytes RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

// One stretch of file data at a flash offset.
struct Stretch {
  std::uint32_t offset;
  Bytes data;
};

class GpsChipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::MakeTemporaryFolder("ambrel-test-");
    ASSERT_FALSE(folder_.empty());
    ::setenv("QUILLON_COM_DIR", folder_.c_str(), 1);
  }

  void TearDown() override {
    if (ambrel::TheSession().open) Ambrel_Terminate();
    server_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  void StartChip(gps_sim::ChipOptions options = {}) {
    server_ = std::make_unique<gps_sim::ChipServer>(std::move(options));
    ASSERT_TRUE(server_->Start(folder_, kCom));
  }
  gps_sim::GpsChip& Chip() { return server_->Chip(); }

  void DumpTranscript() {
    for (const auto& line : Chip().Transcript()) std::printf("chip: %s\n", line.c_str());
  }
  int Init(int rate = 115200, int chipSelect = 0, int offset = 0) {
    return Ambrel_Init_Ex(kCom, rate, 1, chipSelect, offset, vendor_, partName_, &size_);
  }

  std::string LastError(int code) {
    char text[4096] = {};
    if (Ambrel_GetLastErrorMessage(code, text) != 0) return "(no text for this code)";
    return text;
  }

  std::string WriteFile(const std::string& name, const Bytes& bytes) {
    const std::string path = folder_ + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  // An S-record file with S3 records of up to 32 bytes for each stretch.
  std::string WriteSrecFile(const std::string& name, const std::vector<Stretch>& stretches,
                            const char* lineEnd = "\n") {
    std::string text = std::string("S00600004844521B") + lineEnd;
    for (const Stretch& s : stretches) {
      for (std::size_t at = 0; at < s.data.size(); at += 32) {
        const std::size_t n = std::min<std::size_t>(32, s.data.size() - at);
        const std::uint32_t address = s.offset + static_cast<std::uint32_t>(at);
        unsigned sum = static_cast<unsigned>(n + 5);
        char field[16];
        std::snprintf(field, sizeof field, "S3%02X%08X", static_cast<unsigned>(n + 5), address);
        text += field;
        for (int shift = 0; shift < 32; shift += 8) sum += (address >> shift) & 0xFF;
        for (std::size_t i = 0; i < n; ++i) {
          std::snprintf(field, sizeof field, "%02X", s.data[at + i]);
          text += field;
          sum += s.data[at + i];
        }
        std::snprintf(field, sizeof field, "%02X", ~sum & 0xFF);
        text += field;
        text += lineEnd;
      }
    }
    text += std::string("S70500000000FA") + lineEnd;
    return WriteFile(name, Bytes(text.begin(), text.end()));
  }

  int Program(const std::string& path, int option, int fileType = AMBREL_FILE_DETECT) {
    unsigned start = 0;
    unsigned length = 0;
    std::vector<char> name(path.begin(), path.end());
    name.push_back(0);
    return Ambrel_ProgramFlash(name.data(), fileType, option, &start, &length);
  }

  std::string folder_;
  std::unique_ptr<gps_sim::ChipServer> server_;
  char vendor_[64] = {};
  char partName_[64] = {};
  unsigned size_ = 0;
};

}  // namespace gps_test
