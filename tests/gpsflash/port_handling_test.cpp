// What the library does to the port around a session, and how it counts
// the chip's command slots: a user's line settings come back after every
// exported call, bytes left over from a refused reply do not reach the
// next call, and a driver that refuses a command without a free slot is
// always asked for slots first.

#include "gps_chip_fixture.h"
#include "platform/serial_port.h"

namespace gps_test {
namespace {

const std::string kComName = "COM" + std::to_string(kCom);

class PortHandling : public GpsChipTest {
 protected:
  platform::TerminalModes Modes() {
    platform::TerminalModes modes;
    EXPECT_TRUE(platform::ReadTerminalModes(kComName, modes));
    return modes;
  }
};

TEST_F(PortHandling, TheUsersLineSettingsComeBackAfterEachCall) {
  StartChip();
  ASSERT_TRUE(platform::WriteTerminalModes(kComName, {9600, true}));
  ASSERT_EQ(Init(115200), 0) << LastError(Init(115200));
  EXPECT_TRUE(Modes().cooked);
  EXPECT_EQ(Modes().baudRate, 9600u);
  ASSERT_EQ(Ambrel_SetHarrowBaudRateTest(115200), 0) << LastError(AMBREL_HARROW_RATE);
  EXPECT_TRUE(Modes().cooked);
  EXPECT_EQ(Modes().baudRate, 9600u);
  Bytes read(0x400);
  ASSERT_EQ(Ambrel_ReadFlash(reinterpret_cast<char*>(read.data()), 0, 0x400), 0) << LastError(AMBREL_FLASH_READING);
  EXPECT_TRUE(Modes().cooked);
  EXPECT_EQ(Modes().baudRate, 9600u);
}

TEST_F(PortHandling, ASessionAfterAnOversizedReplySucceeds) {
  StartChip();
  const Bytes flash = RandomBytes(0x40000, 11);
  Chip().FillFlash(flash);
  ASSERT_EQ(Init(), 0) << LastError(Init());
  gps_sim::ChipFaults faults;
  faults.oversizedReplies = 1;
  Chip().SetFaults(faults);
  // Programming takes no second look at a bad reply (reading would drain it).
  const std::string image = WriteSrecFile("image.s19", {{0x1000, RandomBytes(0x400, 12)}});
  EXPECT_NE(Program(image, AMBREL_OPTION_ERASE_SECTORS), 0);
  ASSERT_TRUE(Chip().TranscriptHas("sent an oversized reply"));
  ASSERT_EQ(Ambrel_Terminate(), 0);
  // The rest of the refused reply never reaches the next session.
  const int init = Init();
  ASSERT_EQ(init, 0) << LastError(init);
  Bytes read(0x800);
  const int again = Ambrel_ReadFlash(reinterpret_cast<char*>(read.data()), 0x1000, 0x800);
  ASSERT_EQ(again, 0) << LastError(again);
  EXPECT_TRUE(std::equal(read.begin(), read.end(), flash.begin() + 0x1000));
}

struct SlotCase {
  const char* name;
  unsigned buffers;
  unsigned slots;
  int option;
};

class SlotCounting : public GpsChipTest, public ::testing::WithParamInterface<SlotCase> {};

// The driver here refuses a command that finds every slot taken, so the
// host must count the slots that its erases took since the last status.
TEST_P(SlotCounting, EveryBlockIsProgrammed) {
  const SlotCase c = GetParam();
  gps_sim::ChipOptions options;
  options.targetBuffers = c.buffers;
  options.commandSlots = c.slots;
  options.waitsForSlots = false;
  StartChip(options);
  const Bytes before = RandomBytes(0x40000, 5);
  Chip().FillFlash(before);
  ASSERT_EQ(Init(), 0) << LastError(Init());
  const std::vector<Stretch> stretches = {{0x10000, RandomBytes(0x4000, 6)}};
  const int rc = Program(WriteSrecFile("image.s19", stretches), c.option);
  ASSERT_EQ(rc, 0) << LastError(rc);
  EXPECT_FALSE(Chip().TranscriptHas("protocol error"));
  const Bytes after = Chip().Flash();
  EXPECT_TRUE(std::equal(stretches[0].data.begin(), stretches[0].data.end(), after.begin() + 0x10000));
  if (c.option == AMBREL_OPTION_PRESERVE) {
    EXPECT_TRUE(std::equal(after.begin() + 0x14000, after.begin() + 0x20000, before.begin() + 0x14000));
  }
}

INSTANTIATE_TEST_SUITE_P(Slots, SlotCounting,
                         ::testing::Values(SlotCase{"AsManySlotsAsBuffersPreserving", 8, 8, AMBREL_OPTION_PRESERVE},
                                           SlotCase{"OneSlotErasingSectors", 8, 1, AMBREL_OPTION_ERASE_SECTORS},
                                           SlotCase{"OneSlotPreserving", 1, 1, AMBREL_OPTION_PRESERVE}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace gps_test
