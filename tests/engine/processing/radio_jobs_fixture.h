#pragma once
// Jobs through the core processing thread with the program's starters and
// file workers against simulated radios: a real product file parsed into
// the options' sector list, kernel and image S-record files in the
// temporary working folder, and the radio on a pseudo-terminal (COM6) or
// on the USB stand-in.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core_thread_harness.h"
#include "engine/core/messages.h"
#include "engine/images/srecord_file.h"
#include "engine/processing/job_starters.h"
#include "engine/product/copy_product_record.h"
#include "engine/product/product_file_parser.h"
#include "pellwick/pellwick.h"
#include "quor_pst/quor_sim_control.h"
#include "radio_on_pty.h"
#include "radiosim/usb_front_end.h"

namespace test_support {

// One flash of 1 MiB: twelve 64 KiB CODE sectors, then two CODEPLUG and
// two FLASHPACK sectors.
inline constexpr char kProductFile[] = R"(# the radio of the engine tests
product VEXA20
{
    processor Harrow;
    flash main size = 1M type = nor vendor = Intel num_sectors = 16
    {
        partition = 0 boot size = 1M type = code chip_select = 0;
        address = 0, sector_size = 64K, num_sectors = 12, type = CODE;
        address = 0xC0000, sector_size = 64K, num_sectors = 2, type = CODEPLUG;
        address = 0xE0000, sector_size = 64K, num_sectors = 2, type = FLASHPACK;
    }
}
)";
inline constexpr std::uint32_t kSectorSize = 0x10000;
inline constexpr std::uint32_t kCodeplugStart = 0xC0000;
inline constexpr std::uint32_t kFlashpackStart = 0xE0000;
inline constexpr std::uint32_t kFlashpackSize = 0x20000;

enum class RadioLink { Serial, Usb };

inline const char* LinkName(RadioLink link) { return link == RadioLink::Serial ? "Serial" : "Usb"; }

// Every block of an S-record file, keyed by address.
inline std::map<std::uint32_t, std::vector<std::uint8_t>> ReadSRecordBlocks(const std::string& path) {
  std::map<std::uint32_t, std::vector<std::uint8_t>> blocks;
  CSRecordFile file;
  file.OpenSRecordFile(path, CSRecordFile::kModeRead);
  std::vector<std::uint8_t> buffer(0x10000);
  for (;;) {
    std::uint32_t address = 0, type = 0, length = 0;
    file.ReadSRecordBlock(buffer.data(), static_cast<std::uint32_t>(buffer.size()), address, type, length);
    if (type >= 7) break;
    if (type == 0) continue;
    auto& bytes = blocks[address];
    bytes.assign(buffer.begin(), buffer.begin() + length);
  }
  file.CloseSRecordFile();
  return blocks;
}

// The blocks laid out from `from` on for `length` bytes (gaps stay 0xFF).
inline std::vector<std::uint8_t> Flatten(const std::map<std::uint32_t, std::vector<std::uint8_t>>& blocks,
                                         std::uint32_t from, std::uint32_t length) {
  std::vector<std::uint8_t> out(length, 0xFF);
  for (const auto& [address, bytes] : blocks) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const std::uint64_t at = address + i;
      if (at >= from && at < static_cast<std::uint64_t>(from) + length) out[at - from] = bytes[i];
    }
  }
  return out;
}

class RadioJobsTest : public CoreThreadTest {
 protected:
  static constexpr int kComNumber = 6;
  static constexpr DeviceNumber kSerialDevice = 126 + kComNumber;
  static constexpr DeviceNumber kUsbDevice = 9;

  void TearDown() override {
    core_.reset();
    fronts_.clear();
    usbRadios_.clear();
    pty_.reset();
    if (usbStarted_) {
      PWLDeregisterApp(static_cast<std::uint16_t>(program_));
      PWLTerminatePST();
      PWLTerminateEx(0);
      QuorSim_Reset();
    }
    CoreThreadTest::TearDown();
  }

  radiosim::RadioConfig Config(RadioLink link, radiosim::PowerOnState powerOn) const {
    radiosim::RadioConfig config;
    config.bootLoader = radiosim::BootLoaderType::Harrow;
    config.link = link == RadioLink::Serial ? radiosim::LinkKind::Serial : radiosim::LinkKind::Usb;
    config.powerOn = powerOn;
    return config;
  }

  // Serves one radio on the link and starts the core thread with the
  // program's starters and file workers.
  void ServeOne(RadioLink link, radiosim::PowerOnState powerOn = radiosim::PowerOnState::BootLoader,
                radiosim::RadioConfig config = {}) {
    link_ = link;
    const radiosim::RadioConfig base = Config(link, powerOn);
    config.bootLoader = base.bootLoader;
    config.link = base.link;
    config.powerOn = base.powerOn;
    if (link == RadioLink::Serial) {
      pty_ = std::make_unique<RadioOnPty>(config, kComNumber);
      ASSERT_TRUE(pty_->started());
      StartCore({}, std::make_unique<CJobStarters>(), {}, true);
    } else {
      ServeUsb({kUsbDevice}, config);
    }
  }

  // Serves one radio per id on the USB stand-in.
  void ServeUsb(const std::vector<std::uint16_t>& ids, radiosim::RadioConfig config) {
    link_ = RadioLink::Usb;
    QuorSim_Reset();
    ASSERT_EQ(PWLInitializeEx(), PWL_RC_SUCCESS);
    ASSERT_EQ(PWLRegisterApp(&program_), PWL_RC_SUCCESS);
    ASSERT_EQ(PWLInitPST(), PWL_RC_SUCCESS);
    usbStarted_ = true;
    char path[256] = {};
    ASSERT_GT(QuorSim_SocketPath(path, sizeof path), 0);
    for (std::uint16_t id : ids) {
      usbRadios_.push_back(std::make_unique<radiosim::RadioSimulator>(config));
      fronts_.push_back(std::make_unique<radiosim::UsbFrontEnd>(*usbRadios_.back()));
      std::string error;
      ASSERT_TRUE(fronts_.back()->Attach(path, id, radiosim::UsbInterfacesFor(config.bootLoader), &error)) << error;
    }
    ASSERT_TRUE(shell_.WaitUntil([&] {
      std::uint16_t found[PWL_MAX_DEVICES] = {};
      int count = 0;
      return PWLGetDevicesEx(static_cast<std::uint16_t>(program_), "Corvane_Flash", &count, found) ==
                 PWL_RC_SUCCESS &&
             count == static_cast<int>(ids.size());
    }));
    GetAppSettings().SetAppInt(APP_INT_USB_APP_HANDLE, program_);
    StartCore(ids, std::make_unique<CJobStarters>(), {}, true);
  }

  radiosim::RadioSimulator& Radio() { return link_ == RadioLink::Serial ? pty_->radio() : *usbRadios_.front(); }
  DeviceNumber Device() const { return link_ == RadioLink::Serial ? kSerialDevice : kUsbDevice; }
  std::string Name() const { return GetDeviceName(Device()); }

  // The product's sector list, parsed from the product file.
  SectorList ProductSectors() {
    const std::string path = folder_.File("vexa20.qlp");
    {
      std::FILE* file = std::fopen(path.c_str(), "w");
      EXPECT_NE(file, nullptr);
      if (file == nullptr) return {};
      std::fputs(kProductFile, file);
      std::fclose(file);
    }
    ProductFileParser parser;
    CProductRecord record;
    EXPECT_EQ(parser.LoadProduct(path, "VEXA20", record), 1);
    SectorList list;
    CopyProductRecord(record, list);
    return list;
  }
  // The options of a job for the radio, with the product's sectors; the
  // sectors named are selected.
  CJobOptions JobOptions(const std::vector<std::uint32_t>& selected = {}) {
    CJobOptions options;
    options.SetIntParam(OPTION_COMM_PROTOCOL, link_ == RadioLink::Serial ? 0 : 1);
    options.SetIntParam(OPTION_SERIAL_PORT, kComNumber - 1);
    SectorList list = ProductSectors();
    for (SectorEntry& sector : list.sectors) {
      for (std::uint32_t address : selected) sector.selected |= sector.address == address ? 1u : 0u;
    }
    options.SetSectorList(list);
    return options;
  }
  std::unique_ptr<CJobOptions> Options(const std::vector<std::uint32_t>& selected = {}) {
    return std::make_unique<CJobOptions>(JobOptions(selected));
  }
  std::unique_ptr<FileJobPayload> FlashPayload(const std::string& file, CJobOptions options) {
    auto payload = std::make_unique<FileJobPayload>();
    payload->imageFileName = folder_.File(file);
    payload->options = std::move(options);
    return payload;
  }

  // Waits for the device's item to finish; false (with the log) otherwise.
  ::testing::AssertionResult WaitFinished(DeviceNumber device, std::int32_t sequence = 0) {
    const std::string line = GetDeviceName(device) + "> Item finished with sequence number " + std::to_string(sequence);
    if (shell_.WaitLog(line)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no '" << line << "' in\n" << shell_.AllLogs();
  }

  RadioLink link_ = RadioLink::Serial;
  std::unique_ptr<RadioOnPty> pty_;
  bool usbStarted_ = false;
  std::int16_t program_ = -1;
  std::vector<std::unique_ptr<radiosim::RadioSimulator>> usbRadios_;
  std::vector<std::unique_ptr<radiosim::UsbFrontEnd>> fronts_;
};

}  // namespace test_support
