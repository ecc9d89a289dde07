// A flash for every USB device: eight simulated radios on the USB stand-in,
// one image file loaded once and flashed into all eight in parallel.

#include <algorithm>

#include "radio_jobs_fixture.h"

using namespace test_support;

namespace {

using Bytes = std::vector<std::uint8_t>;

class UsbFanOutFlash : public RadioJobsTest {};

TEST_F(UsbFanOutFlash, EightRadiosShareOneLoadAndAreFlashedTogether) {
  const std::vector<std::uint16_t> ids{1, 2, 3, 5, 8, 13, 21, 34};
  ServeUsb(ids, Config(RadioLink::Usb, radiosim::PowerOnState::BootLoader));
  const Bytes image = Pattern(0x6000, 17);
  WriteSRecordFile(folder_.File("image.s19"), {{0x40000, image}}, 0x40000);
  CJobOptions options = JobOptions();
  options.SetIntParam(OPTION_AUTO_ERASE_FLASH, 1);
  Queue(WM_FLASH, DEVICE_UNASSIGNED, FlashPayload("image.s19", std::move(options)));

  for (std::uint16_t id : ids) ASSERT_TRUE(WaitFinished(id));
  EXPECT_EQ(shell_.CountLogs("Starting read of file"), 1u);
  EXPECT_EQ(shell_.CountLogs("successfully loaded into RAM"), 1u);
  EXPECT_EQ(shell_.CountLogs("ERROR"), 0u) << shell_.AllLogs();
  // Every radio's flash had started before the first one finished.
  const auto& logs = shell_.Logs();
  const auto firstFinish = std::find_if(logs.begin(), logs.end(), [](const std::string& line) {
    return line.find("> Item finished") != std::string::npos;
  });
  EXPECT_EQ(std::count_if(logs.begin(), firstFinish,
                          [](const std::string& line) { return line.find("> Starting Flash") != std::string::npos; }),
            static_cast<std::ptrdiff_t>(ids.size()));
  for (std::size_t i = 0; i < ids.size(); ++i) {
    EXPECT_TRUE(shell_.WaitStatus(ids[i], 14)) << ids[i];
    EXPECT_EQ(usbRadios_[i]->GetFlash(0x40000, 0x6000), image) << "USB" << ids[i];
    EXPECT_EQ(usbRadios_[i]->KernelStarts(), 1) << "USB" << ids[i];
  }
}

}  // namespace
