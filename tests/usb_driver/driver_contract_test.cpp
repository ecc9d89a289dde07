// The contract that the stand-in and the libusb driver share where no device
// is needed: the 16 entry points by name, a bus without the maker's devices,
// the statuses of absent devices and bad arguments, the lifetime statuses
// and the window registrations. Each library is loaded by name, as pellwick
// loads it, with the variable that selects it.

#include <gtest/gtest.h>

#include <memory>

#include "driver_env.h"
#include "platform/dynamic_library.h"
#include "quor_pst/quor_pst.h"

namespace usbdrivertest {
namespace {

struct Driver {
  decltype(&Quor_PSTInitialize) initialize;
  decltype(&Quor_PSTUninitialize) uninitialize;
  decltype(&Quor_PSTReadData) readData;
  decltype(&Quor_PSTWriteData) writeData;
  decltype(&Quor_PSTGetInterfaceHandle) interfaceHandle;
  decltype(&Quor_PSTGetDeviceList) deviceList;
  decltype(&Quor_PSTRefreshConnections) refresh;
  decltype(&Quor_PSTRegisterDeviceChangeNotification) registerChange;
  decltype(&Quor_PSTUnregisterDeviceChangeNotification) unregisterChange;
  decltype(&Quor_PSTRegisterUSBMonitor) registerMonitor;
  decltype(&Quor_PSTUnregisterUSBMonitor) unregisterMonitor;
  decltype(&Quor_PSTGetMaxBulkDataSize) maxBulkSize;
  decltype(&Quor_PSTGetOutBulkEpSize) outEpSize;
  decltype(&Quor_PSTGetOutBulkEpSizeEx) outEpSizeEx;
  decltype(&Quor_PSTGetInBulkEpSize) inEpSize;
  decltype(&Quor_PSTGetInBulkEpSizeEx) inEpSizeEx;
};

struct Library {
  const char* selection;  // the value of QUILLON_USB_DRIVER
  const char* fileEnd;    // how the loaded file's path ends
};

void PrintTo(const Library& library, std::ostream* out) {
  *out << (*library.selection ? library.selection : "stand-in");
}

class DriverContract : public ::testing::TestWithParam<Library> {
 protected:
  void SetUp() override {
    DriverSelection selection(GetParam().selection);
    std::string error;
    library_ = platform::DynamicLibrary::Load("Quor_PST.DLL", &error);
    ASSERT_TRUE(library_) << error;
    ASSERT_TRUE(library_->Path().ends_with(GetParam().fileEnd)) << library_->Path();
    ASSERT_TRUE(Bind()) << "an entry point is missing";
  }

  bool Bind() {
    auto& l = *library_;
    d.initialize = l.Function<decltype(d.initialize)>("Quor_PSTInitialize");
    d.uninitialize = l.Function<decltype(d.uninitialize)>("Quor_PSTUninitialize");
    d.readData = l.Function<decltype(d.readData)>("Quor_PSTReadData");
    d.writeData = l.Function<decltype(d.writeData)>("Quor_PSTWriteData");
    d.interfaceHandle = l.Function<decltype(d.interfaceHandle)>("Quor_PSTGetInterfaceHandle");
    d.deviceList = l.Function<decltype(d.deviceList)>("Quor_PSTGetDeviceList");
    d.refresh = l.Function<decltype(d.refresh)>("Quor_PSTRefreshConnections");
    d.registerChange = l.Function<decltype(d.registerChange)>("Quor_PSTRegisterDeviceChangeNotification");
    d.unregisterChange = l.Function<decltype(d.unregisterChange)>("Quor_PSTUnregisterDeviceChangeNotification");
    d.registerMonitor = l.Function<decltype(d.registerMonitor)>("Quor_PSTRegisterUSBMonitor");
    d.unregisterMonitor = l.Function<decltype(d.unregisterMonitor)>("Quor_PSTUnregisterUSBMonitor");
    d.maxBulkSize = l.Function<decltype(d.maxBulkSize)>("Quor_PSTGetMaxBulkDataSize");
    d.outEpSize = l.Function<decltype(d.outEpSize)>("Quor_PSTGetOutBulkEpSize");
    d.outEpSizeEx = l.Function<decltype(d.outEpSizeEx)>("Quor_PSTGetOutBulkEpSizeEx");
    d.inEpSize = l.Function<decltype(d.inEpSize)>("Quor_PSTGetInBulkEpSize");
    d.inEpSizeEx = l.Function<decltype(d.inEpSizeEx)>("Quor_PSTGetInBulkEpSizeEx");
    return d.initialize && d.uninitialize && d.readData && d.writeData && d.interfaceHandle && d.deviceList &&
           d.refresh && d.registerChange && d.unregisterChange && d.registerMonitor && d.unregisterMonitor &&
           d.maxBulkSize && d.outEpSize && d.outEpSizeEx && d.inEpSize && d.inEpSizeEx;
  }

  std::unique_ptr<platform::DynamicLibrary> library_;
  Driver d{};
};

constexpr std::uint16_t kAbsent = 9;

TEST_P(DriverContract, ABusWithoutTheMakersDevicesListsNone) {
  std::uint16_t ids[4] = {0xAAAA, 0xAAAA, 0xAAAA, 0xAAAA};
  int count = -1;
  EXPECT_EQ(d.deviceList(ids, 4, &count), PST_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(ids[0], 0xAAAA);
  count = -1;
  EXPECT_EQ(d.deviceList(nullptr, 0, &count), PST_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(d.deviceList(ids, 4, nullptr), PST_INVALID_PARAMETER);
  EXPECT_EQ(d.deviceList(nullptr, 4, &count), PST_INVALID_PARAMETER);
  EXPECT_EQ(d.refresh(), PST_OK);
  EXPECT_EQ(d.deviceList(ids, 4, &count), PST_OK);
  EXPECT_EQ(count, 0);
}

TEST_P(DriverContract, AnAbsentDeviceHasNoInterfacesAndMovesNothing) {
  int handle = 0;
  EXPECT_EQ(d.interfaceHandle(kAbsent, "Corvane_Flash", &handle), PST_NO_DEVICE);
  EXPECT_EQ(handle, 0);
  EXPECT_EQ(d.interfaceHandle(kAbsent, nullptr, &handle), PST_INVALID_PARAMETER);
  EXPECT_EQ(d.interfaceHandle(kAbsent, "Corvane_Flash", nullptr), PST_INVALID_PARAMETER);
  std::uint8_t buffer[16] = {};
  const int someHandle = 0x1000 + kAbsent * 4 + 1;
  for (int pipe : {PST_PIPE_BULK, PST_PIPE_COMMAND}) {
    std::uint32_t length = sizeof buffer;
    EXPECT_EQ(d.readData(kAbsent, someHandle, pipe, buffer, &length, 10), PST_NO_DEVICE) << pipe;
    EXPECT_EQ(length, 0u);
    length = sizeof buffer;
    EXPECT_EQ(d.writeData(kAbsent, someHandle, pipe, buffer, &length, 10), PST_NO_DEVICE) << pipe;
    EXPECT_EQ(length, 0u);
  }
  EXPECT_EQ(d.readData(kAbsent, someHandle, PST_PIPE_BULK, buffer, nullptr, 10), PST_INVALID_PARAMETER);
  EXPECT_EQ(d.writeData(kAbsent, someHandle, PST_PIPE_BULK, buffer, nullptr, 10), PST_INVALID_PARAMETER);
  std::int16_t size = 0;
  EXPECT_EQ(d.outEpSize(kAbsent, &size), PST_NO_DEVICE);
  EXPECT_EQ(d.inEpSize(kAbsent, &size), PST_NO_DEVICE);
  EXPECT_EQ(d.outEpSizeEx(kAbsent, "Corvane_Flash", &size), PST_NO_DEVICE);
  EXPECT_EQ(d.inEpSizeEx(kAbsent, "Corvane_Boot", &size), PST_NO_DEVICE);
  EXPECT_EQ(d.outEpSize(kAbsent, nullptr), PST_INVALID_PARAMETER);
  EXPECT_EQ(d.inEpSizeEx(kAbsent, nullptr, &size), PST_INVALID_PARAMETER);
}

TEST_P(DriverContract, InitialisesOnceAndSaysWhenItWasNot) {
  EXPECT_EQ(d.initialize(), PST_OK);
  EXPECT_EQ(d.initialize(), PST_OK);
  EXPECT_EQ(d.uninitialize(), PST_OK);
  EXPECT_EQ(d.uninitialize(), PST_NOT_INITIALIZED);
}

TEST_P(DriverContract, TakesAndDropsItsWindowsAndHasAMaximumBulkSize) {
  EXPECT_EQ(d.registerChange(1234), PST_OK);
  EXPECT_EQ(d.registerMonitor(1235), PST_OK);
  EXPECT_EQ(d.unregisterChange(), PST_OK);
  EXPECT_EQ(d.unregisterMonitor(), PST_OK);
  int size = 0;
  EXPECT_EQ(d.maxBulkSize(&size), PST_OK);
  EXPECT_GT(size, 0);
  EXPECT_EQ(size % 512, 0);  // whole packets of every bulk packet size up to 512
  EXPECT_EQ(d.maxBulkSize(nullptr), PST_INVALID_PARAMETER);
}

INSTANTIATE_TEST_SUITE_P(BothLibraries, DriverContract,
                         ::testing::Values(Library{"", "/bin/libQuor_PST.so"},
                                           Library{"libusb", "/bin/libusb/libQuor_PST.so"}),
                         [](const auto& info) { return *info.param.selection ? "Libusb" : "StandIn"; });

}  // namespace
}  // namespace usbdrivertest
