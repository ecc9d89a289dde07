// STATUS while a job is being prepared: the image of a FLASH is a named
// pipe, so the program's read of it waits, holding the job before its first
// byte moves, until the test writes the image into it. Meanwhile STATUS,
// asked by a client whose socket keeps Nagle's rule as a script's does, is
// answered; then the job goes on and flashes the radio.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "engine/images/srecord_file.h"
#include "program_fixture.h"

namespace e2e {
namespace {

constexpr std::uint32_t kImageLength = 2 * kSectorSize;

std::vector<std::uint8_t> Image() {
  std::vector<std::uint8_t> bytes(kImageLength);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + (i >> 10));
  return bytes;
}

void WriteSRecords(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  CSRecordFile file;
  file.OpenSRecordFile(path, CSRecordFile::kModeWrite);
  std::uint32_t written = 0;
  const std::string header = "held";
  file.WriteSRecordBlock(reinterpret_cast<const std::uint8_t*>(header.data()), 4, 0, 0, written);
  file.WriteSRecordBlock(bytes.data(), static_cast<std::uint32_t>(bytes.size()), 0, 3, written);
  file.WriteSRecordBlock(nullptr, 0, 0, 7, written);
  file.CloseSRecordFile();
}

bool Logged(const Program& program, const std::string& text) {
  for (const auto& line : program.LogLines()) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

TEST(E2eStatusWhilePreparing, StatusIsAnsweredWhileTheImageIsStillBeingRead) {
  Program program;
  radiosim::RadioSimulator& radio = program.ServeRadioOnCom1(ProductRadio());
  const auto image = Image();
  WriteSRecords(program.File("image.s19"), image);
  ASSERT_EQ(::mkfifo(program.File("held.s19").c_str(), 0600), 0);
  ASSERT_TRUE(program.Start());
  LineClient client = program.Connect();
  ASSERT_TRUE(client.Valid());
  client.Socket().SetNoDelay(false);

  ASSERT_TRUE(client.Send("FLASH held.s19"));
  ASSERT_TRUE(program.WaitLog("Starting read of file held.s19"));
  for (int i = 0; i < 3; ++i) {
    const auto reply = client.Ask("STATUS");
    ASSERT_TRUE(reply.has_value()) << "no answer to STATUS while the image is read";
    EXPECT_EQ(reply->rfind("BUSY \"", 0), 0u) << *reply;
  }
  EXPECT_FALSE(Logged(program, "successfully loaded")) << "the read was not held";

  {
    std::ofstream pipe(program.File("held.s19"), std::ios::binary);
    pipe << program.Read("image.s19");
  }
  ASSERT_TRUE(program.WaitLog("COM1> Item finished with sequence number 0", std::chrono::seconds(120)));
  EXPECT_EQ(radio.GetFlash(0, kImageLength), image);
  EXPECT_TRUE(PollUntil([&] { return client.Ask("STATUS") == "DONE \"Processing Complete\"\n"; }));
}

}  // namespace
}  // namespace e2e
