// The libusb driver over a fake USB tree: the maker's devices by their
// interface strings, ids from the USB monitor's port numbering (kept while a
// hub plugged in before them renumbers the ports), endpoint sizes from the
// descriptors, the arrival and removal notices of devices plugged in and out
// while the library runs, also after a late start of libusb, and the change
// records that outlive the library.

#include <gtest/gtest.h>

#include <libusb.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "device_inventory.h"
#include "driver_env.h"
#include "fake_usb_tree.h"
#include "libusb_devices.h"
#include "kovrin/usb_change_record.h"
#include "platform/dynamic_library.h"
#include "platform/target_registry.h"
#include "platform/usb_tree.h"
#include "quor_pst/quor_pst.h"
#include "usb_driver.h"

namespace usbdrivertest {
namespace {

using namespace std::chrono_literals;
using kovrin_test::DeviceSpec;
using kovrin_test::FakeUsbTree;

DeviceSpec Radio() {
  DeviceSpec spec;
  spec.vendor = "1d07";
  spec.product = "0021";
  spec.interfaces = {{0, 0xFF, 4, "Corvane_Flash", "", {{0x01, 2, 64}, {0x81, 2, 64}}},
                     {1, 0xFF, 5, "Corvane_Boot", "", {{0x02, 2, 32}, {0x82, 2, 16}}}};
  return spec;
}

DeviceSpec Keyboard() {
  DeviceSpec spec;
  spec.vendor = "046d";
  spec.product = "c31c";
  spec.interfaces = {{0, 3, 0, "Keyboard", "", {{0x81, 3, 8}}}};
  return spec;
}

class FakeBus : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FakeUsbTree::Preloaded()) GTEST_SKIP() << "needs umockdev's preload library";
    tree = std::make_unique<FakeUsbTree>();
    root = tree->AddRootHub(1, 4);
  }
  void TearDown() override {
    library.reset();
    tree.reset();
  }

  void Load() {
    DriverSelection selection("libusb");
    library = platform::DynamicLibrary::Load("Quor_PST");
    ASSERT_TRUE(library);
    deviceList = library->Function<decltype(&Quor_PSTGetDeviceList)>("Quor_PSTGetDeviceList");
    inEpSizeEx = library->Function<decltype(&Quor_PSTGetInBulkEpSizeEx)>("Quor_PSTGetInBulkEpSizeEx");
    outEpSize = library->Function<decltype(&Quor_PSTGetOutBulkEpSize)>("Quor_PSTGetOutBulkEpSize");
    interfaceHandle = library->Function<decltype(&Quor_PSTGetInterfaceHandle)>("Quor_PSTGetInterfaceHandle");
    registerChange = library->Function<decltype(&Quor_PSTRegisterDeviceChangeNotification)>(
        "Quor_PSTRegisterDeviceChangeNotification");
    registerMonitor = library->Function<decltype(&Quor_PSTRegisterUSBMonitor)>("Quor_PSTRegisterUSBMonitor");
    refresh = library->Function<decltype(&Quor_PSTRefreshConnections)>("Quor_PSTRefreshConnections");
  }

  std::vector<std::uint16_t> Listed() {
    std::uint16_t ids[8] = {};
    int count = -1;
    EXPECT_EQ(deviceList(ids, 8, &count), PST_OK);
    return std::vector<std::uint16_t>(ids, ids + std::clamp(count, 0, 8));
  }

  // Waits for the next message of the window, up to a deadline.
  std::optional<platform::Message> Next(platform::RegisteredQueue& window) {
    return window.queue().TakeMatching(0, 0xFFFFFFFF, 5000ms);
  }

  // The arrival messages of one radio with a flash and a boot interface and
  // its change record; the id they name, or -1.
  int NextArrival(platform::RegisteredQueue& changes, platform::RegisteredQueue& monitor) {
    auto flash = Next(changes);
    auto boot = Next(changes);
    auto record = Next(monitor);
    if (!flash || !boot || !record) return -1;
    EXPECT_EQ(flash->number, PST_WM_DEVICE_ARRIVAL);
    EXPECT_EQ(boot->number, PST_WM_DEVICE_ARRIVAL);
    EXPECT_EQ(boot->wParam, flash->wParam);
    const auto* change = reinterpret_cast<const kovrin::UsbChangeRecord*>(record->lParam);
    EXPECT_EQ(change->present, 1);
    EXPECT_EQ(change->port, flash->wParam);
    return static_cast<int>(flash->wParam);
  }

  std::unique_ptr<FakeUsbTree> tree;
  std::string root;
  std::unique_ptr<platform::DynamicLibrary> library;
  decltype(&Quor_PSTGetDeviceList) deviceList = nullptr;
  decltype(&Quor_PSTGetInBulkEpSizeEx) inEpSizeEx = nullptr;
  decltype(&Quor_PSTGetOutBulkEpSize) outEpSize = nullptr;
  decltype(&Quor_PSTGetInterfaceHandle) interfaceHandle = nullptr;
  decltype(&Quor_PSTRegisterDeviceChangeNotification) registerChange = nullptr;
  decltype(&Quor_PSTRegisterUSBMonitor) registerMonitor = nullptr;
  decltype(&Quor_PSTRefreshConnections) refresh = nullptr;
};

TEST_F(FakeBus, ListsTheMakersDevicesByTheirPortNumbers) {
  const std::string hub = tree->AddHub(root, "1-2", 3);
  tree->AddDevice(hub, "1-2.3", Radio());  // ports: 1-1 (0), 1-2.1 (1), 1-2.2 (2), 1-2.3 (3)
  tree->AddDevice(root, "1-3", Keyboard());
  Load();
  EXPECT_EQ(Listed(), std::vector<std::uint16_t>{3});
  std::int16_t size = 0;
  EXPECT_EQ(inEpSizeEx(3, "Corvane_Boot", &size), PST_OK);
  EXPECT_EQ(size, 16);
  EXPECT_EQ(outEpSize(3, &size), PST_OK);
  EXPECT_EQ(size, 64);
  EXPECT_EQ(inEpSizeEx(3, "Corvane_Test_Command", &size), PST_NO_INTERFACE);
  int handle = 0;
  EXPECT_EQ(interfaceHandle(3, "Corvane_Test_Command", &handle), PST_NO_INTERFACE);
  EXPECT_EQ(interfaceHandle(5, "Corvane_Flash", &handle), PST_NO_DEVICE);
}

TEST_F(FakeBus, PostsArrivalsAndRemovalsAsTheStandInDoes) {
  Load();
  EXPECT_TRUE(Listed().empty());
  platform::RegisteredQueue changes(platform::TargetKind::Window);
  platform::RegisteredQueue monitor(platform::TargetKind::Window);
  ASSERT_EQ(registerChange(changes.handle()), PST_OK);
  ASSERT_EQ(registerMonitor(monitor.handle()), PST_OK);

  const std::string radio = tree->AddDevice(root, "1-2", Radio());
  tree->Uevent(radio, "add");
  auto first = Next(changes);
  ASSERT_TRUE(first) << "no arrival";
  EXPECT_EQ(first->number, PST_WM_DEVICE_ARRIVAL);
  EXPECT_EQ(first->wParam, 1u);
  EXPECT_EQ(first->lParam, PST_KIND_FLASH);
  auto second = Next(changes);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->lParam, PST_KIND_BOOT);
  auto record = Next(monitor);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->number, kovrin::WM_USB_DEVICE_EVENT);
  const auto* change = reinterpret_cast<const kovrin::UsbChangeRecord*>(record->lParam);
  EXPECT_EQ(change->port, 1);
  EXPECT_EQ(change->kind, kovrin::kUsbKindPhoneInterface);
  EXPECT_EQ(change->present, 1);
  EXPECT_STREQ(change->name, "Quor USB Device");
  EXPECT_EQ(record->wParam, kovrin::kUsbChangeHeaderSize + std::strlen("Quor USB Device") + 1);
  EXPECT_EQ(Listed(), std::vector<std::uint16_t>{1});

  tree->Uevent(radio, "remove");
  tree->Remove(radio);
  auto gone = Next(changes);
  ASSERT_TRUE(gone) << "no removal";
  EXPECT_EQ(gone->number, PST_WM_DEVICE_REMOVAL);
  EXPECT_EQ(gone->wParam, 1u);
  EXPECT_EQ(gone->lParam, PST_KIND_FLASH);
  ASSERT_TRUE(Next(changes));
  auto removed = Next(monitor);
  ASSERT_TRUE(removed);
  EXPECT_EQ(removed->wParam, kovrin::kUsbChangeHeaderSize);
  EXPECT_EQ(reinterpret_cast<const kovrin::UsbChangeRecord*>(removed->lParam)->present, 0);
  EXPECT_TRUE(Listed().empty());
}

// A hub plugged into a port before a served radio renumbers the ports
// behind it: the radio keeps its id and is never listed twice, and a radio
// plugged in next is served, under the lowest free id when its port number
// is the one the first radio holds.
TEST_F(FakeBus, AHubBeforeAServedRadioChangesNoIdAndTheNextRadioIsServed) {
  tree->AddDevice(root, "1-3", Radio());  // ports: 1-1 (0), 1-2 (1), 1-3 (2)
  Load();
  ASSERT_EQ(Listed(), std::vector<std::uint16_t>{2});
  platform::RegisteredQueue changes(platform::TargetKind::Window);
  platform::RegisteredQueue monitor(platform::TargetKind::Window);
  ASSERT_EQ(registerChange(changes.handle()), PST_OK);
  ASSERT_EQ(registerMonitor(monitor.handle()), PST_OK);

  // Now 1-1.1 .. 1-1.4 are 0..3, 1-2 is 4 and the served radio's port is 5.
  const std::string hub = tree->AddHub(root, "1-1", 4);
  tree->Uevent(hub, "add");
  const std::string next = tree->AddDevice(hub, "1-1.3", Radio());  // port number 2
  tree->Uevent(next, "add");
  EXPECT_EQ(NextArrival(changes, monitor), 0) << "the next radio is served under the lowest free id";
  EXPECT_EQ(Listed(), (std::vector<std::uint16_t>{0, 2}));
  std::int16_t size = 0;
  EXPECT_EQ(inEpSizeEx(2, "Corvane_Boot", &size), PST_OK) << "the served radio keeps its id";

  // The hub goes with the radio behind it; the first radio stays as it was.
  tree->Uevent(next, "remove");
  tree->Remove(next);
  tree->Uevent(hub, "remove");
  tree->Remove(hub);
  auto gone = Next(changes);
  ASSERT_TRUE(gone) << "no removal";
  EXPECT_EQ(gone->number, PST_WM_DEVICE_REMOVAL);
  EXPECT_EQ(gone->wParam, 0u);
  ASSERT_TRUE(Next(changes));
  auto removed = Next(monitor);
  ASSERT_TRUE(removed);
  EXPECT_EQ(reinterpret_cast<const kovrin::UsbChangeRecord*>(removed->lParam)->port, 0);
  EXPECT_EQ(Listed(), std::vector<std::uint16_t>{2});
}

// The program may unload the library while a change record it posted still
// waits in a queue: the record is read and freed after the unload.
TEST_F(FakeBus, AChangeRecordStillQueuedOutlivesTheLibrary) {
  Load();
  platform::RegisteredQueue changes(platform::TargetKind::Window);
  platform::RegisteredQueue monitor(platform::TargetKind::Window);
  ASSERT_EQ(registerChange(changes.handle()), PST_OK);
  ASSERT_EQ(registerMonitor(monitor.handle()), PST_OK);
  const std::string radio = tree->AddDevice(root, "1-2", Radio());
  tree->Uevent(radio, "add");
  ASSERT_TRUE(Next(changes)) << "no arrival";
  library.reset();
  auto record = Next(monitor);
  ASSERT_TRUE(record);
  EXPECT_EQ(reinterpret_cast<const kovrin::UsbChangeRecord*>(record->lParam)->present, 1);
}

// With a hub on the bus the tree is whole once the hub's descriptors are
// there, so that a hot-plug event does not make the event thread read the
// tree again and again.
TEST_F(FakeBus, AHubWithItsDescriptorsIsWhole) {
  const std::string hub = tree->AddHub(root, "1-2", 4);
  tree->AddDevice(hub, "1-2.1", Radio());
  libusb_context* context = nullptr;
  ASSERT_EQ(libusb_init(&context), LIBUSB_SUCCESS);
  {
    const usb_driver::LibusbDevices usb(context);
    ASSERT_EQ(usb.Places().size(), 2u) << "libusb lists the hub and the radio";
    const auto inventory = usb_driver::TakeInventory(platform::ReadUsbHostTree());
    EXPECT_EQ(inventory.devices.size(), 1u);
    EXPECT_FALSE(usb_driver::AnyIncomplete(inventory, usb.Places()));
  }
  libusb_exit(context);
}

// libusb that could not start at first starts at a later call: once, when
// two threads ask at the same moment, and what it finds is announced.
TEST_F(FakeBus, ALateStartStartsOnceAndAnnouncesWhatItFinds) {
  tree->AddDevice(root, "1-2", Radio());
  std::atomic<int> starts{0};
  usb_driver::UsbDriver driver([&](libusb_context** context) {
    return starts++ == 0 ? LIBUSB_ERROR_OTHER : libusb_init(context);
  });
  platform::RegisteredQueue changes(platform::TargetKind::Window);
  platform::RegisteredQueue monitor(platform::TargetKind::Window);
  ASSERT_EQ(driver.RegisterChangeWindow(changes.handle()), PST_OK);
  ASSERT_EQ(driver.RegisterMonitorWindow(monitor.handle()), PST_OK);
  std::uint16_t ids[4] = {};
  int count = -1;
  ASSERT_EQ(starts, 1);
  {
    std::jthread first([&] { driver.Refresh(); });
    std::jthread second([&] { driver.DeviceList(ids, 4, count); });
  }
  EXPECT_EQ(starts, 2);
  EXPECT_EQ(NextArrival(changes, monitor), 1);
  ASSERT_EQ(driver.DeviceList(ids, 4, count), PST_OK);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(ids[0], 1);
}

}  // namespace
}  // namespace usbdrivertest
