// The device's raw descriptors: what is read from a sound block, and that a
// malformed one gives nothing at all.
#include <gtest/gtest.h>

#include "descriptor_block.h"
#include "fake_usb_tree.h"

namespace kovrin_test {
namespace {

DeviceSpec TwoInterfaces() {
  DeviceSpec s;
  s.vendor = "1d07";
  s.product = "0040";
  s.release = 0x0102;
  s.manufacturerIndex = 1;
  s.productIndex = 2;
  s.serialIndex = 3;
  s.interfaces = {{0, 0xFF, 4, "", "", {{0x83, 3, 16}, {0x81, 2, 512}, {0x01, 2, 256}}},
                  {1, 0xFF, 0, "", "", {{0x82, 2, 64}, {0x02, 2, 0x1840}}}};
  return s;
}

TEST(DescriptorBlock, SoundBlockGivesIdsStringsAndBulkEndpoints) {
  auto block = kovrin::ParseDescriptorBlock(DescriptorBytes(TwoInterfaces()));
  ASSERT_TRUE(block);
  EXPECT_EQ(block->vendorId, 0x1d07);
  EXPECT_EQ(block->productId, 0x0040);
  EXPECT_EQ(block->release, 0x0102);
  EXPECT_EQ(block->productIndex, 2);
  ASSERT_EQ(block->interfaces.size(), 2u);
  EXPECT_EQ(block->interfaces[0].stringIndex, 4);
  EXPECT_TRUE(block->NamesStrings());
  EXPECT_EQ(block->BulkMaxPacketSize(true), 512) << "the interrupt endpoint is passed over";
  EXPECT_EQ(block->BulkMaxPacketSize(false), 256);
  EXPECT_EQ(block->BulkMaxPacketSize(true, 1), 64);
  EXPECT_EQ(block->BulkMaxPacketSize(false, 1), 0x040) << "only the size bits of the word count";
  EXPECT_FALSE(block->BulkMaxPacketSize(true, 2));
}

TEST(DescriptorBlock, DeviceWithoutStringIndicesNamesNoStrings) {
  DeviceSpec s;
  s.interfaces = {{0, 0xFF, 0, "", "", {}}};
  auto block = kovrin::ParseDescriptorBlock(DescriptorBytes(s));
  ASSERT_TRUE(block);
  EXPECT_FALSE(block->NamesStrings());
}

TEST(DescriptorBlock, MalformedBlocksGiveNothing) {
  const auto sound = DescriptorBytes(TwoInterfaces());
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"device descriptor cut short", std::vector<std::uint8_t>(sound.begin(), sound.begin() + 17)});
  cases.push_back({"no configuration", std::vector<std::uint8_t>(sound.begin(), sound.begin() + 18)});
  auto wrongType = sound;
  wrongType[1] = 2;
  cases.push_back({"device descriptor of the wrong type", wrongType});
  auto longTotal = sound;
  longTotal[18 + 2] = static_cast<std::uint8_t>(sound.size());  // more than the bytes that follow
  cases.push_back({"total length beyond the block", longTotal});
  auto shortTotal = sound;
  shortTotal[18 + 2] = 8;
  shortTotal[18 + 3] = 0;
  cases.push_back({"total length below a configuration", shortTotal});
  auto zeroLength = sound;
  zeroLength[18 + 9] = 0;  // the first interface descriptor's length
  cases.push_back({"descriptor of length zero", zeroLength});
  auto overrun = sound;
  overrun[18 + 9] = 200;
  cases.push_back({"descriptor running past the total", overrun});
  auto shortInterface = sound;
  shortInterface[18 + 9] = 5;
  cases.push_back({"interface descriptor too short", shortInterface});
  DeviceSpec malformed = TwoInterfaces();
  malformed.malformedDescriptors = true;
  cases.push_back({"test bed's malformed block", DescriptorBytes(malformed)});
  for (const auto& c : cases) {
    EXPECT_FALSE(kovrin::ParseDescriptorBlock(c.bytes)) << c.what;
  }
}

}  // namespace
}  // namespace kovrin_test
