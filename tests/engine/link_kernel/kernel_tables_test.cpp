// The tables behind opening a kernel link: the status word decoding, the
// kernel route per link and chip family, and the link error mapping.

#include <gtest/gtest.h>

#include <vector>

#include "engine/link/kernel_requests.h"
#include "engine/link/kernel_route.h"
#include "engine/link/link_error.h"
#include "engine/link/target_status.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(DecodeTargetStatus, DeviceIdsOfAnUnsupportedFlash) {
  ErrorDetails d;
  d.address = 0x1234;  // cleared first
  EXPECT_EQ(DecodeTargetStatus(0x0201, Bytes{0x00, 0x89, 0x88, 0x20, 0x00, 0x00, 0x00, 0x00}, d), 25);
  EXPECT_EQ(d.manufacturerId, 0x0089);
  EXPECT_EQ(d.deviceId, 0x8820);
  EXPECT_EQ(d.deviceId2, 0);
  EXPECT_EQ(d.address, 0u);
}

TEST(DecodeTargetStatus, EachLayoutReadsItsFields) {
  const Bytes bytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99};
  struct Case {
    std::uint16_t word;
    int error;
    ErrorDetails expected;
  };
  const Case cases[] = {
      {0x0000, 1, {}},
      {0x0100, 21, {}},
      {0x0202, 26, {.address = 0x11223344, .cause = {}}},
      {0x0205, 29, {.address = 0x11223344, .statusRegister = 0x55, .cause = {}}},
      {0x0206, 30, {.detail1 = 0x11223344, .detail2 = 0x55667788, .statusRegister = 0x99, .cause = {}}},
      {0x0207, 31, {.statusRegister = 0x11, .cause = {}}},
      {0x020A, 34, {.statusRegister = 0x33, .sector = 0x1122, .cause = {}}},
      {0x020B, 35, {.sector = 0x1122, .cause = {}}},
      {0x020E, 38, {.address = 0x11223344, .cause = {}}},
      {0x0601, 45, {}},
      {0x0999, 1, {}},
  };
  for (const auto& c : cases) {
    ErrorDetails d;
    EXPECT_EQ(DecodeTargetStatus(c.word, bytes, d), c.error) << std::hex << c.word;
    EXPECT_EQ(d.address, c.expected.address) << std::hex << c.word;
    EXPECT_EQ(d.detail1, c.expected.detail1) << std::hex << c.word;
    EXPECT_EQ(d.detail2, c.expected.detail2) << std::hex << c.word;
    EXPECT_EQ(d.statusRegister, c.expected.statusRegister) << std::hex << c.word;
    EXPECT_EQ(d.sector, c.expected.sector) << std::hex << c.word;
  }
}

TEST(DecodeTargetStatus, MissingDetailBytesReadAsZero) {
  ErrorDetails d;
  EXPECT_EQ(DecodeTargetStatus(0x0204, Bytes{0xAB, 0xCD}, d), 28);
  EXPECT_EQ(d.address, 0xABCD0000u);
  EXPECT_EQ(d.statusRegister, 0u);
}

TEST(KernelRoute, TableDecidesImageAndFormat) {
  struct Case {
    int link, chip;
    BootAnswer answer;
    int error;
    KernelImage image;
    int format;
  };
  const Case cases[] = {
      {kLinkRs232, kChipUnknown, BootAnswer::Z, 0, KernelImage::HarrowU, 1},
      {kLinkRs232, kChipUnknown, BootAnswer::L, 0, KernelImage::Calder, 3},
      {kLinkRs232, kChipUnknown, BootAnswer::None, 0, KernelImage::Bisel, 2},
      {kLinkRs232, kChipHarrow, BootAnswer::Z, 0, KernelImage::HarrowU, 1},
      {kLinkRs232, kChipHarrow, BootAnswer::L, 19, {}, 0},
      {kLinkRs232, kChipHarrow, BootAnswer::None, 19, {}, 0},
      {kLinkRs232, kChipBisel, BootAnswer::None, 0, KernelImage::Bisel, 2},
      {kLinkRs232, kChipCalder, BootAnswer::L, 0, KernelImage::Calder, 3},
      {kLinkRs232, kChipCalder, BootAnswer::Z, 20, {}, 0},
      {kLinkUsb, kChipHarrow, BootAnswer::None, 0, KernelImage::Harrow, 1},
      {kLinkUsb, kChipCalder, BootAnswer::None, 0, KernelImage::Calder, 3},
      {kLinkUsb, kChipUnknown, BootAnswer::None, 7, {}, 0},
      {kLinkUsb, kChipBisel, BootAnswer::None, 7, {}, 0},
      {-1, kChipHarrow, BootAnswer::None, 6, {}, 0},
      {2, kChipHarrow, BootAnswer::None, 6, {}, 0},
  };
  for (const auto& c : cases) {
    auto r = ChooseKernelRoute(c.link, c.chip, c.answer);
    EXPECT_EQ(r.error, c.error) << c.link << "/" << c.chip;
    if (c.error != 0) continue;
    EXPECT_EQ(r.route.image, c.image) << c.link << "/" << c.chip;
    EXPECT_EQ(r.route.format, c.format) << c.link << "/" << c.chip;
  }
  EXPECT_TRUE(KernelRouteNeedsPing(kLinkRs232, kChipUnknown));
  EXPECT_TRUE(KernelRouteNeedsPing(kLinkRs232, kChipHarrow));
  EXPECT_FALSE(KernelRouteNeedsPing(kLinkRs232, kChipBisel));
  EXPECT_TRUE(KernelRouteNeedsPing(kLinkRs232, kChipCalder));
  EXPECT_FALSE(KernelRouteNeedsPing(kLinkUsb, kChipHarrow));
}

TEST(KernelImage, NamedByFileAndByTypeNumber) {
  EXPECT_STREQ(KernelImageFileName(KernelImage::Calder), "calderkrnl.s19");
  EXPECT_STREQ(KernelImageFileName(KernelImage::Harrow), "harrowkrnl.s19");
  EXPECT_STREQ(KernelImageFileName(KernelImage::HarrowU), "harrowkrnlu.s19");
  EXPECT_STREQ(KernelImageFileName(KernelImage::Bisel), "biselkrnl.s19");
  EXPECT_EQ(KernelImageFromType(0), KernelImage::HarrowU);
  EXPECT_EQ(KernelImageFromType(1), KernelImage::Harrow);
  EXPECT_EQ(KernelImageFromType(2), KernelImage::Bisel);
  EXPECT_EQ(KernelImageFromType(3), KernelImage::Calder);
  EXPECT_FALSE(KernelImageFromType(4).has_value());
  EXPECT_FALSE(KernelImageFromType(-1).has_value());
}

TEST(LinkErrorToMessage, Ranges) {
  const std::pair<int, int> cases[] = {{0, 46}, {1, 47}, {17, 63}, {18, 72}, {19, 73},
                                       {20, 64}, {27, 71}, {28, 74}, {29, 1},  {-1, 1}};
  for (auto [link, message] : cases) EXPECT_EQ(LinkErrorToMessage(link), message) << link;
}

TEST(SpeedSwitchRequest, CodeByWorkingRate) {
  EXPECT_EQ(SpeedSwitchRequest(460800), (Bytes{0x05, 0x00, 0x00, 0x02}));
  EXPECT_EQ(SpeedSwitchRequest(230400), (Bytes{0x05, 0x00, 0x00, 0x01}));
  EXPECT_EQ(SpeedSwitchRequest(115200), (Bytes{0x05, 0x00, 0x00, 0x00}));
  EXPECT_EQ(SpeedSwitchRequest(57600), (Bytes{0x05, 0x00, 0x00, 0x00}));
}

}  // namespace
