// The simulated radio's application firmware answering the RAM dump, in
// short frames written out here: the announce, the region count and
// regions, RAM reads in both reply forms, refusals and the faults.

#include <gtest/gtest.h>

#include "radio_bytes.h"

namespace {

using radiosim::Fault;
using radiosim::FaultKind;
using radiosim::RadioConfig;
using namespace radiotest;

class FirmwareFixture : public ::testing::Test {
 protected:
  FirmwareFixture() {
    RadioConfig config;
    config.powerOn = radiosim::PowerOnState::Firmware;
    config.ramRegions = {{0x00100000, 0x400}, {0x00200000, 0x100}, {0x00300000, 0x10}, {0x00400000, 0x20}};
    radio_ = std::make_unique<radiosim::RadioSimulator>(config);
    radio_->AttachHost(&host_);
  }
  Bytes Exchange(const Bytes& frame) {
    radio_->Receive(frame, 115200);
    return host_.Take();
  }
  static Bytes Read(std::uint32_t address, std::uint32_t length) {
    return ShortFrame(Concat(Concat({0x33}, Be32(address)),
                             {static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 8),
                              static_cast<std::uint8_t>(length)}));
  }
  static Bytes Ack(const Bytes& reply) { return Concat({0x50}, reply); }
  static Bytes Refused() { return Ack(ShortFrame({0xBF, 0x06})); }

  CaptureLink host_;
  std::unique_ptr<radiosim::RadioSimulator> radio_;
};

TEST_F(FirmwareFixture, AnnouncesRegionsAndReadsRam) {
  EXPECT_EQ(radio_->Mode(), radiosim::RadioMode::Firmware);
  EXPECT_EQ(Exchange({0xF2, 0x31, 0x00, 0xDC}), Bytes{0x50});
  EXPECT_EQ(radio_->RamDumpsAnnounced(), 1);
  EXPECT_EQ(Exchange(ShortFrame({0x35, 0x00})), Ack(ShortFrame({0xB5, 0x04})));
  EXPECT_EQ(Exchange(ShortFrame({0x32, 0x01})),
            Ack(ShortFrame(Concat(Concat({0xB2}, Be32(0x00200000)), Be32(0x100)))));
  EXPECT_EQ(Exchange(ShortFrame({0x32, 0x04})), Refused());

  ASSERT_TRUE(radio_->SetRam(0x00100000, Pattern(512)));
  // The extended reply: FF, (len + 2) as 24 bits, B3, the data, checksum.
  Bytes expected = Concat(Concat({0xFF, 0x00, 0x02, 0x02, 0xB3}, Pattern(512)), {});
  expected.push_back(Checksum(expected));
  EXPECT_EQ(Exchange(Read(0x00100000, 512)), Ack(expected));
  // Memory of one value comes as the 4-byte run frame.
  ASSERT_TRUE(radio_->SetRam(0x00100200, Bytes(0x200, 0x5A)));
  EXPECT_EQ(Exchange(Read(0x00100200, 0x200)), Ack(ShortFrame({0xB3, 0x5A})));
  EXPECT_EQ(radio_->GetRam(0x00100200, 2), (Bytes{0x5A, 0x5A}));
}

TEST_F(FirmwareFixture, RefusesReadsItCannotServe) {
  EXPECT_EQ(Exchange(Read(0x00100000, 513)), Refused());
  EXPECT_EQ(Exchange(Read(0x00100000, 0)), Refused());
  EXPECT_EQ(Exchange(Read(0x001003F0, 0x20)), Refused());  // runs past its region
  EXPECT_EQ(Exchange(Read(0x00500000, 4)), Refused());
  EXPECT_EQ(Exchange(ShortFrame({0x44, 0x00})), Refused());
  // Kernel frames and bad checksums are not for the firmware.
  EXPECT_EQ(Exchange(RequestFrame({0x03, 0x04, 0x01})), Bytes{0x60});
  Bytes bad = ShortFrame({0x35, 0x00});
  bad.back() ^= 1;
  EXPECT_EQ(Exchange(bad), Bytes{0x60});
}

TEST_F(FirmwareFixture, RegionFaults) {
  radio_->AddFault(Fault{FaultKind::RefusedRegion, 1, 0x3203});
  radio_->AddFault(Fault{FaultKind::OversizedRegion, 1, 0x3200});
  EXPECT_EQ(Exchange(ShortFrame({0x32, 0x03})), Refused());
  EXPECT_EQ(Exchange(ShortFrame({0x32, 0x03})),
            Ack(ShortFrame(Concat(Concat({0xB2}, Be32(0x00400000)), Be32(0x20)))));
  EXPECT_EQ(Exchange(ShortFrame({0x32, 0x00})),
            Ack(ShortFrame(Concat(Concat({0xB2}, Be32(0x00100000)), Be32(0xFFFFFF00)))));
}

TEST_F(FirmwareFixture, WrongReadLengthClaimsOneByteLess) {
  radio_->AddFault(Fault{FaultKind::WrongReadLength, 1, 0x3300});
  Bytes expected = Concat({0xFF, 0x00, 0x00, 0x11, 0xB3}, radio_->GetRam(0x00300000, 15));
  expected.push_back(Checksum(expected));
  EXPECT_EQ(Exchange(Read(0x00300000, 16)), Ack(expected));
}

TEST_F(FirmwareFixture, DefaultRegionsHoldAPatternThenZeros) {
  RadioConfig config;
  radiosim::RadioSimulator radio(config);
  const auto regions = radio.RamRegions();
  ASSERT_EQ(regions.size(), 2u);
  EXPECT_EQ(regions[0].start, 0x00100000u);
  EXPECT_EQ(regions[0].size, 0x8000u);
  const Bytes front = radio.GetRam(0x00100000, 0x4000);
  EXPECT_NE(front, Bytes(0x4000, front[0]));
  EXPECT_EQ(radio.GetRam(0x00104000, 0x4000), Bytes(0x4000, 0x00));
}

TEST_F(FirmwareFixture, KernelLeavesForTheFirmwareAndTheFlashStays) {
  RadioConfig config;
  config.powerOn = radiosim::PowerOnState::Kernel;
  radiosim::RadioSimulator radio(config);
  ASSERT_TRUE(radio.SetFlash(0, Bytes{1, 2, 3}));
  radio.RunFirmware();
  EXPECT_EQ(radio.Mode(), radiosim::RadioMode::Firmware);
  EXPECT_EQ(radio.GetFlash(0, 3), (Bytes{1, 2, 3}));
}

}  // namespace
