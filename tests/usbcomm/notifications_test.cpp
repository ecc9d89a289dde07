// Device arrival and removal: the message thread's handling, the messages
// that reach client windows and threads, and the arrival waits.

#include <chrono>
#include <cstring>
#include <future>

#include "device_process.h"
#include "kovrin/usb_change_record.h"
#include "pellwick_fixture.h"
#include "platform/target_registry.h"

namespace usbtest {
namespace {

using std::chrono::milliseconds;
constexpr auto kWait = milliseconds(5000);

class NotificationsTest : public PellwickTest {
 protected:
  void SetUp() override {
    PellwickTest::SetUp();
    app_ = OpenLibrary();
    PWLSetAppHandler(static_cast<uint16_t>(app_), window_.handle());
    PWLSetThrdMsgHandler(static_cast<uint16_t>(app_), thread_.handle());
  }

  std::optional<platform::Message> Next(platform::RegisteredQueue& q, uint32_t number, milliseconds wait = kWait) {
    return q.queue().TakeMatching(number, number, wait);
  }

  // The driver's own message to the library's hidden window.
  static void DriverPosts(uint32_t number, uint16_t device, int driverKind) {
    ASSERT_TRUE(platform::PostWindowMessage(QuorSim_DeviceChangeWindow(), number, device, driverKind));
  }

  int16_t app_ = -1;
  platform::RegisteredQueue window_{platform::TargetKind::Window};
  platform::RegisteredQueue thread_{platform::TargetKind::Thread};
};

void ExpectConnectionChange(platform::Message& m, uint16_t device, bool arrived) {
  EXPECT_EQ(m.wParam, 0x30000u + device);
  auto record = m.payload.Take<PWL_DEVICE_EVENT>();
  ASSERT_TRUE(record);
  EXPECT_EQ(reinterpret_cast<platform::LParam>(record.get()), m.lParam);
  EXPECT_EQ(record->tag, 0xF0F0);
  EXPECT_EQ(record->arrived, arrived ? 1 : 0);
  EXPECT_EQ(record->device, 0x30000u + device);
}

TEST_F(NotificationsTest, ArrivalAndRemovalReachTheWindowAndTheThread) {
  PlugDevice(3, kBoot);
  auto arrival = Next(window_, WM_PWL_DEVICE_ARRIVAL);
  ASSERT_TRUE(arrival);
  EXPECT_EQ(arrival->wParam, 3u);
  EXPECT_EQ(arrival->lParam, PWL_KIND_BOOT);
  auto change = Next(window_, WM_PWL_CONNECTION_CHANGE);
  ASSERT_TRUE(change);
  ExpectConnectionChange(*change, 3, true);
  auto threadArrival = Next(thread_, WM_PWL_DEVICE_ARRIVAL);
  ASSERT_TRUE(threadArrival);
  EXPECT_EQ(threadArrival->lParam, PWL_KIND_BOOT);

  ASSERT_EQ(QuorSim_Unplug(3), 0);
  // The connection change comes before the removal, to windows and threads.
  for (auto* q : {&window_, &thread_}) {
    auto first = q->queue().TakeMatching(WM_PWL_DEVICE_REMOVAL, WM_PWL_CONNECTION_CHANGE, kWait);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->number, static_cast<uint32_t>(WM_PWL_CONNECTION_CHANGE));
    ExpectConnectionChange(*first, 3, false);
    auto removal = Next(*q, WM_PWL_DEVICE_REMOVAL);
    ASSERT_TRUE(removal);
    EXPECT_EQ(removal->wParam, 3u);
    EXPECT_EQ(removal->lParam, PWL_KIND_BOOT);
  }
}

TEST_F(NotificationsTest, TheUsbMonitorWindowGetsDeviceChangeRecords) {
  PlugDevice(9, kFlash);
  auto m = Next(window_, kovrin::WM_USB_DEVICE_EVENT);
  ASSERT_TRUE(m);
  auto* record = reinterpret_cast<const kovrin::UsbChangeRecord*>(m->lParam);
  EXPECT_EQ(std::memcmp(record->tag, "QuorUSB", 7), 0);
  EXPECT_EQ(record->port, 9);
  EXPECT_EQ(record->kind, kovrin::kUsbKindPhoneInterface);
  EXPECT_EQ(record->present, 1);
  EXPECT_EQ(m->wParam & 0xFFFF, kovrin::kUsbChangeHeaderSize + std::strlen(record->name) + 1);
  ASSERT_EQ(QuorSim_Unplug(9), 0);
  auto gone = Next(window_, kovrin::WM_USB_DEVICE_EVENT);
  ASSERT_TRUE(gone);
  EXPECT_EQ(gone->wParam, kovrin::kUsbChangeHeaderSize);
  EXPECT_EQ(reinterpret_cast<const kovrin::UsbChangeRecord*>(gone->lParam)->present, 0);
}

TEST_F(NotificationsTest, ClientKindsFollowTheDriverKinds) {
  PlugDevice(1, kFlash | kBoot | kTestCommand);
  std::vector<platform::LParam> kinds;
  for (int i = 0; i < 3; ++i) {
    auto m = Next(thread_, WM_PWL_DEVICE_ARRIVAL);
    ASSERT_TRUE(m);
    kinds.push_back(m->lParam);
  }
  EXPECT_EQ(kinds, (std::vector<platform::LParam>{PWL_KIND_FLASH, PWL_KIND_BOOT, PWL_KIND_TEST_COMMAND}));
  DriverPosts(WM_PST_DEVICE_ARRIVAL, 2, 9);
  auto unknown = Next(thread_, WM_PWL_DEVICE_ARRIVAL);
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->lParam, PWL_KIND_UNKNOWN);
}

TEST_F(NotificationsTest, OutOfRangeIdsChangeNothing) {
  DriverPosts(WM_PST_DEVICE_REMOVAL, 127, 5);
  DriverPosts(WM_PST_DEVICE_ARRIVAL, 127, 5);
  // Messages are handled in order: once device 2's arrival is through, so are both.
  PlugDevice(2, kFlash);
  auto arrival = Next(thread_, WM_PWL_DEVICE_ARRIVAL);
  ASSERT_TRUE(arrival);
  EXPECT_EQ(arrival->wParam, 2u);
  EXPECT_FALSE(thread_.queue().TakeMatching(WM_PWL_DEVICE_ARRIVAL, WM_PWL_CONNECTION_CHANGE, milliseconds(0)));
}

TEST_F(NotificationsTest, ARepeatedArrivalReusesTheDevicesRecord) {
  DriverPosts(WM_PST_DEVICE_ARRIVAL, 3, 5);
  DriverPosts(WM_PST_DEVICE_ARRIVAL, 3, 6);
  DriverPosts(WM_PST_DEVICE_REMOVAL, 3, 5);
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(Next(thread_, WM_PWL_DEVICE_ARRIVAL));
  ASSERT_TRUE(Next(thread_, WM_PWL_DEVICE_REMOVAL));
  EXPECT_EQ(PWLSelectDevice(static_cast<uint16_t>(app_), 3), PWL_RC_DEVICE_ABSENT);
}

TEST_F(NotificationsTest, AnArrivedDeviceCanBeSelected) {
  DriverPosts(WM_PST_DEVICE_ARRIVAL, 12, 5);
  ASSERT_TRUE(Next(thread_, WM_PWL_DEVICE_ARRIVAL));
  EXPECT_EQ(PWLSelectDevice(static_cast<uint16_t>(app_), 12), PWL_RC_SUCCESS);
}

TEST_F(NotificationsTest, ArrivalWaitReturnsAtOnceWhenTheInterfaceAnswers) {
  PlugDevice(5, kFlash);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(PWLQueryDeviceArrivalEx(static_cast<uint16_t>(app_), 5, PWL_KIND_FLASH, 60000), PWL_RC_SUCCESS);
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(30000));
}

TEST_F(NotificationsTest, ArrivalWaitExWakesWhenItsDeviceArrives) {
  auto waiting = std::async(std::launch::async, [this] {
    return PWLQueryDeviceArrivalEx(static_cast<uint16_t>(app_), 5, PWL_KIND_BOOT, 20000);
  });
  PlugDevice(5, kBoot);
  EXPECT_EQ(waiting.get(), PWL_RC_SUCCESS);
}

TEST_F(NotificationsTest, ArrivalWaitExIsNotEndedByAnotherDevice) {
  auto waiting = std::async(std::launch::async, [this] {
    return PWLQueryDeviceArrivalEx(static_cast<uint16_t>(app_), 4, PWL_KIND_FLASH, 400);
  });
  PlugDevice(6, kFlash);
  EXPECT_EQ(waiting.get(), PWL_RC_NOT_OPENED);
}

TEST_F(NotificationsTest, ArrivalWaitWakesOnDeviceZero) {
  auto waiting = std::async(std::launch::async, [this] {
    return PWLQueryDeviceArrival(static_cast<uint16_t>(app_), 0, 20000);
  });
  PlugDevice(0, kFlash);
  EXPECT_EQ(waiting.get(), PWL_RC_SUCCESS);
  EXPECT_EQ(PWLQueryDeviceArrival(static_cast<uint16_t>(app_), 0, 20000), PWL_RC_SUCCESS);
}

TEST_F(NotificationsTest, ATestCommandArrivalDoesNotEndAnArrivalWait) {
  auto waiting = std::async(std::launch::async, [this] {
    return PWLQueryDeviceArrival(static_cast<uint16_t>(app_), 0, 600);
  });
  PlugDevice(0, kTestCommand);
  auto arrival = Next(thread_, WM_PWL_DEVICE_ARRIVAL);
  ASSERT_TRUE(arrival);
  EXPECT_EQ(arrival->lParam, PWL_KIND_TEST_COMMAND);
  EXPECT_EQ(waiting.get(), PWL_RC_NOT_OPENED);
}

TEST_F(NotificationsTest, ArrivalWaitsEndAtTheirDeadlineWithoutAWindow) {
  int16_t plain = -1;
  ASSERT_EQ(PWLRegisterApp(&plain), PWL_RC_SUCCESS);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(PWLQueryDeviceArrival(static_cast<uint16_t>(plain), 0, 100), PWL_RC_NOT_OPENED);
  EXPECT_EQ(PWLQueryDeviceArrivalEx(static_cast<uint16_t>(plain), 3, PWL_KIND_FLASH, 100), PWL_RC_NOT_OPENED);
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(200));
}

TEST_F(NotificationsTest, ArrivalWaitChecksItsArguments) {
  EXPECT_EQ(PWLQueryDeviceArrival(PWL_MAX_APPS, 0, 10), PWL_RC_BAD_APP_INDEX);
  EXPECT_EQ(PWLQueryDeviceArrival(8, 0, 10), PWL_RC_APP_NOT_REGISTERED);
  EXPECT_EQ(PWLQueryDeviceArrivalEx(static_cast<uint16_t>(app_), 127, 0, 10), PWL_RC_BAD_DEVICE_ID);
  EXPECT_EQ(PWLQueryDeviceArrivalEx(8, 1, 0, 10), PWL_RC_APP_NOT_REGISTERED);
  EXPECT_EQ(PWLSetAppHandler(PWL_MAX_APPS, 1), PWL_RC_BAD_APP_INDEX);
  EXPECT_EQ(PWLSetThrdMsgHandler(PWL_MAX_APPS, 1), PWL_RC_BAD_APP_INDEX);
}

TEST_F(NotificationsTest, ADeviceProcessAttachingAndLeavingIsAnArrivalAndARemoval) {
  {
    EchoPeer peer(7, "Corvane_Flash");
    ASSERT_TRUE(peer.Attached());
    auto arrival = Next(window_, WM_PWL_DEVICE_ARRIVAL);
    ASSERT_TRUE(arrival);
    EXPECT_EQ(arrival->wParam, 7u);
  }
  auto removal = Next(window_, WM_PWL_DEVICE_REMOVAL);
  ASSERT_TRUE(removal);
  EXPECT_EQ(removal->wParam, 7u);
}

}  // namespace
}  // namespace usbtest
