// The flashpack commands over the remote port against the FLASHPACK
// partition of the radio on COM1: extract, the two queries with their
// exact replies, add, delete and the update flash that writes the new set.

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>

#include "lumbrapack/pack_manager.h"
#include "../support/pack_names.h"
#include "program_fixture.h"

namespace e2e {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kFlashpackStart = 0xE0000;
constexpr std::uint32_t kFlashpackSize = 0x20000;

Bytes PackFile(const std::u16string& name, std::uint8_t fill) {
  lumbrapack::PackFileFields fields;
  fields.name = name;
  fields.version[0] = 0x12;
  fields.version[1] = 3;
  fields.buildLetter = 'R';
  fields.build[0] = 0x0B;
  fields.build[2] = 7;
  return lumbrapack::BuildPackFile(fields, std::vector<unsigned char>(3000, fill));
}

// The partition image of a set of packs.
Bytes Partition(const std::vector<Bytes>& packs) {
  Bytes erased(kFlashpackSize, 0xFF);
  CPackManager set(erased.data(), kFlashpackSize);
  for (const auto& pack : packs) EXPECT_EQ(set.AddPack(pack.data(), static_cast<unsigned long>(pack.size())), lumbrapack::kPackOk);
  Bytes image(set.ImageSize());
  EXPECT_EQ(set.WriteImage(image.data(), static_cast<unsigned long>(image.size())), lumbrapack::kPackOk);
  return image;
}

using test_support::PackNames;

TEST(E2eFlashpackCommands, ExtractQueryAddDeleteAndUpdateFlash) {
  Program program;
  radiosim::RadioSimulator& radio = program.ServeRadioOnCom1(ProductRadio());
  const Bytes deutsch = PackFile(u"Deutsch", 0x44);
  ASSERT_TRUE(radio.SetFlash(kFlashpackStart, Partition({deutsch})));
  test_support::WriteSRecordFile(program.File("english.s19"), {{0, PackFile(u"English", 0x45)}}, 0, "FlashPack");
  ASSERT_TRUE(program.Start());
  LineClient client = program.Connect();
  ASSERT_TRUE(client.Valid());

  ASSERT_TRUE(client.Send("FLASHPACK_EXTRACT"));
  ASSERT_TRUE(program.WaitLog("COM1> Item finished with sequence number 0", std::chrono::seconds(120)));
  EXPECT_TRUE(program.WaitLog("COM1> Starting Flashpack Extract"));

  // The queries read the extracted set: name, family, version, build and
  // the size in KiB rounded; total, used and free bytes.
  CPackManager set(radio.GetFlash(kFlashpackStart, kFlashpackSize).data(), kFlashpackSize);
  lumbrapack::PackRecord record{};
  ASSERT_EQ(set.PackInfo(1, &record), lumbrapack::kPackOk);
  char details[128];
  std::snprintf(details, sizeof details, "\"Deutsch,Language,12.03.00.00,R0B.00.07,%u\"\n", (record.size + 512) / 1024);
  EXPECT_EQ(client.Ask("FLASHPACK_GET_DETAILS"), details);
  const unsigned long total = set.m_totalMemory.load();
  const unsigned long free = set.FreeMemory();
  EXPECT_EQ(client.Ask("FLASHPACK_GET_STATS"),
            "\"" + std::to_string(total) + "," + std::to_string(total - free) + "," + std::to_string(free) + "\"\n");

  // Add English, delete Deutsch (pack 1), and write the set to the radio.
  for (const char* line : {"FLASHPACK_ADD english.s19", "FLASHPACK_DELETE 1", "FLASHPACK_UPDATE_FLASH"}) {
    ASSERT_TRUE(client.Send(line));
  }
  ASSERT_TRUE(program.WaitLog("COM1> Item finished with sequence number 3", std::chrono::seconds(120)));
  EXPECT_EQ(PackNames(radio.GetFlash(kFlashpackStart, kFlashpackSize)), std::vector<std::u16string>{u"English"});
  for (const auto& line : program.LogLines()) EXPECT_EQ(line.find("ERROR"), std::string::npos) << line;
  // FLASHPACK_ADD passed its file through the shortcut expansion, which
  // says so for a file that is no link.
  const auto log = program.LogLines();
  const auto added = std::find(log.begin(), log.end(), "Remote command: FLASHPACK_ADD english.s19");
  ASSERT_NE(added, log.end());
  EXPECT_NE(std::find(added, log.end(), "Unable to load the file name."), log.end());
  EXPECT_TRUE(PollUntil([&] { return client.Ask("STATUS") == "DONE \"Processing Complete\"\n"; }));
  // The CODE partition was not touched.
  EXPECT_EQ(radio.GetFlash(0, kSectorSize), Bytes(kSectorSize, 0xFF));
}

}  // namespace
}  // namespace e2e
