// Device changes announced by the system and what subscribers get from
// them. The test bed announces every device it adds (and its interfaces and
// ttys). A check that nothing else came first flushes the notification
// thread (a sentinel through it: everything announced before has been
// handled and posted), then finds the queues empty. Holding the enumerate
// lock holds the notification thread's rescans back, so that several
// announcements meet in one rescan.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <optional>
#include <thread>

#include "kovrin/usb_change_record.h"
#include "monitor_fixture.h"
#include "platform/event.h"
#include "platform/target_registry.h"
#include "port_table.h"
#include "reference_tree.h"
#include "usb_monitor.h"

namespace kovrin_test {
namespace {

using kovrin::MakeEntry;
using namespace std::chrono_literals;

constexpr auto kDeadline = 20s;
constexpr const char* kGuid = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
constexpr int kHubPorts = 8;

std::string NameOf(const char* ids, const char* sysname) {
  return std::string("usb#") + ids + "#" + sysname + "#" + kGuid;
}

// The bytes a record must hold: tag, port, kind, presence, and the name with
// its NUL when there is one.
std::vector<std::uint8_t> RecordBytes(int port, int kind, int present, const std::string& name) {
  std::vector<std::uint8_t> b = {'Q', 'u', 'o', 'r', 'U', 'S', 'B', static_cast<std::uint8_t>(port),
                                 static_cast<std::uint8_t>(kind), static_cast<std::uint8_t>(present)};
  if (!name.empty()) {
    b.insert(b.end(), name.begin(), name.end());
    b.push_back(0);
  }
  return b;
}

class ChangesTest : public MonitorTest {
 protected:
  void SetUp() override {
    MonitorTest::SetUp();
    root_ = tree().AddRootHub(1, kHubPorts);
    ASSERT_EQ(KovrinInitialize(kApp), KOVRIN_SUCCESS);
    ASSERT_EQ(KovrinSetAppshWnd(kApp, window_.handle()), KOVRIN_SUCCESS);
    ASSERT_EQ(KovrinSubscribeThreadMessage(kApp, thread_.handle()), KOVRIN_SUCCESS);
    ASSERT_EQ(KovrinStart(kApp), KOVRIN_SUCCESS);
  }

  // A device with its interfaces and ttys arrives as one change.
  std::string Plug(const char* sysname, const DeviceSpec& spec) {
    auto hold = HoldRescans();
    return tree().AddDevice(root_, sysname, spec);
  }

  std::unique_lock<std::recursive_timed_mutex> HoldRescans() {
    return std::unique_lock<std::recursive_timed_mutex>(kovrin::TheMonitor().EnumerateLock());
  }

  // The system announces the removal and the device leaves the tree.
  void Unplug(const std::string& syspath) {
    tree().Uevent(syspath, "remove");
    tree().Remove(syspath);
  }

  static platform::Message Next(platform::RegisteredQueue& q) {
    auto m = q.queue().Get(std::chrono::duration_cast<platform::Milliseconds>(kDeadline));
    if (!m) {
      ADD_FAILURE() << "no message within the deadline";
      return platform::Message();
    }
    return std::move(*m);
  }

  static void ExpectRecord(platform::Message m, int port, int kind, int present, const std::string& name) {
    ASSERT_EQ(m.number, kovrin::WM_USB_DEVICE_EVENT);
    const auto expected = RecordBytes(port, kind, present, name);
    ASSERT_EQ(m.wParam, expected.size());
    ASSERT_NE(m.lParam, 0);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(m.lParam);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + expected.size()), expected);
  }

  static void ExpectLinkStatus(platform::Message m, std::uint8_t state) {
    ASSERT_EQ(m.number, kovrin::WM_USB_LINE_STATUS);
    EXPECT_EQ(m.wParam, platform::WParam{3} << 16);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(m.lParam);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 3), (std::vector<std::uint8_t>{0xF0, 0xF0, state}));
  }

  static void ExpectPresence(platform::Message m, int arrived, kovrin::PortEntry entry) {
    ASSERT_EQ(m.number, kovrin::WM_USB_DEVICE_PRESENCE);
    EXPECT_EQ(m.wParam, static_cast<platform::WParam>(arrived));
    EXPECT_EQ(static_cast<kovrin::PortEntry>(m.lParam), entry);
  }

  // Everything announced so far has been handled.
  void Settle() { ASSERT_TRUE(kovrin::TheMonitor().FlushChanges(kDeadline)); }

  void ExpectNothingElse() {
    Settle();
    EXPECT_TRUE(window_.queue().Empty());
    EXPECT_TRUE(thread_.queue().Empty());
  }

  std::string root_;
  platform::RegisteredQueue window_{platform::TargetKind::Window};
  platform::RegisteredQueue thread_{platform::TargetKind::Thread};
};

TEST_F(ChangesTest, TwoDevicesInOneArrivalGiveTwoRecordsInPortOrder) {
  {
    auto hold = HoldRescans();
    Plug("1-1", SimpleSpec("1d07", "0021", "Radio"));
    Plug("1-3", SimpleSpec("1d07", "0030", "Phone"));
  }
  const std::string radio = NameOf("vid_1d07&pid_0021", "1-1");
  const std::string phone = NameOf("vid_1d07&pid_0030", "1-3");

  // The radio's arrival is not the modem's: no link status.
  ExpectRecord(Next(window_), 0, 2, 1, radio);
  ExpectPresence(Next(window_), 1, MakeEntry(0, 0xFF, true, 2));
  ExpectRecord(Next(window_), 2, 3, 1, phone);
  ExpectPresence(Next(window_), 1, MakeEntry(2, 0xFF, true, 3));
  // Threads get only the change records.
  ExpectRecord(Next(thread_), 0, 2, 1, radio);
  ExpectRecord(Next(thread_), 2, 3, 1, phone);
  ExpectNothingElse();
}

TEST_F(ChangesTest, WindowSharedByTwoApplicationsGetsOneRecordPerChange) {
  ASSERT_EQ(KovrinSetAppshWnd(kApp + 1, window_.handle()), KOVRIN_SUCCESS);
  ASSERT_EQ(KovrinSubscribeThreadMessage(kApp + 1, thread_.handle()), KOVRIN_SUCCESS);
  Plug("1-1", SimpleSpec("1d07", "0021", "Radio"));
  ExpectRecord(Next(window_), 0, 2, 1, NameOf("vid_1d07&pid_0021", "1-1"));
  ExpectPresence(Next(window_), 1, MakeEntry(0, 0xFF, true, 2));
  ExpectRecord(Next(thread_), 0, 2, 1, NameOf("vid_1d07&pid_0021", "1-1"));
  ExpectNothingElse();
}

TEST_F(ChangesTest, ModemArrivalAndRemovalCarryTheLinkStatus) {
  const std::string modem = Plug("1-2", ModemSpec(Pty(7)));
  const std::string name = NameOf("vid_1d07&pid_0020", "1-2");
  ExpectRecord(Next(window_), 1, 1, 1, name);
  ExpectLinkStatus(Next(window_), 0x01);
  ExpectPresence(Next(window_), 1, MakeEntry(1, 7, true, 1));
  ExpectRecord(Next(thread_), 1, 1, 1, name);
  Settle();

  Unplug(modem);
  ExpectRecord(Next(window_), 1, 1, 0, "");
  ExpectLinkStatus(Next(window_), 0x00);
  ExpectPresence(Next(window_), 0, MakeEntry(1, 7, false, 1));
  ExpectRecord(Next(thread_), 1, 1, 0, "");
  ExpectNothingElse();
}

TEST_F(ChangesTest, MatchingRemovalPostsARecordAndSetsTheEvents) {
  platform::Event removed(platform::Event::Reset::Manual);
  ASSERT_EQ(KovrinSetDeviceNotificationEvent(kApp, &removed), KOVRIN_SUCCESS);
  const std::string radio = Plug("1-1", SimpleSpec("1d07", "0021", "Radio"));
  ExpectRecord(Next(window_), 0, 2, 1, NameOf("vid_1d07&pid_0021", "1-1"));
  ExpectPresence(Next(window_), 1, MakeEntry(0, 0xFF, true, 2));
  Next(thread_);
  Settle();

  Unplug(radio);
  ExpectRecord(Next(window_), 0, 2, 0, "");
  ExpectPresence(Next(window_), 0, MakeEntry(0, 0xFF, false, 2));
  ExpectRecord(Next(thread_), 0, 2, 0, "");
  EXPECT_TRUE(removed.Wait(std::chrono::duration_cast<platform::Milliseconds>(kDeadline)));
  std::int16_t port = -1;
  EXPECT_EQ(KovrinGetDeviceRemovePort(kApp, 0, &port), KOVRIN_SUCCESS);
  EXPECT_EQ(port, 0);
  ExpectNothingElse();
}

TEST_F(ChangesTest, NonMatchingRemovalOnlySetsTheEvents) {
  platform::Event removed(platform::Event::Reset::Manual);
  ASSERT_EQ(KovrinSetDeviceNotificationEvent(kApp, &removed), KOVRIN_SUCCESS);
  tree().Uevent(root_, "remove");  // a device that holds no numbered port
  EXPECT_TRUE(removed.Wait(std::chrono::duration_cast<platform::Milliseconds>(kDeadline)));
  ExpectNothingElse();
}

TEST_F(ChangesTest, OtherAnnouncementsChangeNothing) {
  const std::string radio = Plug("1-1", SimpleSpec("1d07", "0021", "Radio"));
  Next(window_);
  Next(window_);
  Next(thread_);
  tree().Uevent(radio, "change");
  tree().Uevent(radio + "/1-1:1.0", "add");  // an interface, not a device
  ExpectNothingElse();
}

TEST_F(ChangesTest, PortEmptiedDuringARescanIsSentAsRemovalWithItsOldKind) {
  const std::string phone = Plug("1-3", SimpleSpec("1d07", "0030", "Phone"));
  Next(window_);
  Next(window_);
  Next(thread_);
  {
    auto hold = HoldRescans();
    tree().Remove(phone);  // gone without an announcement of its own
    Plug("1-1", SimpleSpec("1d07", "0021", "Radio"));
  }
  ExpectRecord(Next(window_), 0, 2, 1, NameOf("vid_1d07&pid_0021", "1-1"));
  ExpectPresence(Next(window_), 1, MakeEntry(0, 0xFF, true, 2));
  ExpectRecord(Next(window_), 2, 3, 0, "");
  ExpectRecord(Next(thread_), 0, 2, 1, NameOf("vid_1d07&pid_0021", "1-1"));
  ExpectRecord(Next(thread_), 2, 3, 0, "");
  ExpectNothingElse();
}

TEST_F(ChangesTest, DeviceListDoesNotTakeTheChangeFromAnArrivalNotYetDispatched) {
  {
    auto hold = HoldRescans();
    Plug("1-1", SimpleSpec("1d07", "0021", "Radio"));
    int count = 0;
    std::array<int, KOVRIN_PORT_COUNT> entries{};
    EXPECT_EQ(KovrinGetDeviceList(kApp, &count, entries.data()), KOVRIN_SUCCESS);
    EXPECT_EQ(count, 1);
  }
  ExpectRecord(Next(window_), 0, 2, 1, NameOf("vid_1d07&pid_0021", "1-1"));
  ExpectPresence(Next(window_), 1, MakeEntry(0, 0xFF, true, 2));
  ExpectRecord(Next(thread_), 0, 2, 1, NameOf("vid_1d07&pid_0021", "1-1"));
  ExpectNothingElse();
}

TEST_F(ChangesTest, TtyArrivalRescansForTheModemsComNumber) {
  DeviceSpec modem = ModemSpec("");
  const std::string syspath = Plug("1-2", modem);
  ExpectRecord(Next(window_), 1, 1, 1, NameOf("vid_1d07&pid_0020", "1-2"));
  ExpectLinkStatus(Next(window_), 0x01);
  ExpectPresence(Next(window_), 1, MakeEntry(1, 0xFF, true, 1));
  Next(thread_);
  Settle();

  // The modem's driver brings its tty up after the device arrived.
  tree().AddTty(syspath + "/1-2:1.0", "ttyACM9", Pty(7));
  ExpectRecord(Next(window_), 1, 1, 1, NameOf("vid_1d07&pid_0020", "1-2"));
  ExpectLinkStatus(Next(window_), 0x01);
  ExpectPresence(Next(window_), 1, MakeEntry(1, 7, true, 1));
  Next(thread_);
  ExpectNothingElse();
}

TEST_F(ChangesTest, LastStopOfAnApplicationClearsItsWindowAndEvent) {
  platform::RegisteredQueue other(platform::TargetKind::Window);
  platform::Event otherRemoved(platform::Event::Reset::Manual);
  constexpr std::uint16_t kOther = kApp + 1;
  ASSERT_EQ(KovrinSetAppshWnd(kOther, other.handle()), KOVRIN_SUCCESS);
  ASSERT_EQ(KovrinSetDeviceNotificationEvent(kOther, &otherRemoved), KOVRIN_SUCCESS);
  ASSERT_EQ(KovrinStart(kOther), KOVRIN_SUCCESS);
  ASSERT_EQ(KovrinStop(kOther), KOVRIN_SUCCESS);

  const std::string radio = Plug("1-1", SimpleSpec("1d07", "0021", "Radio"));
  Next(window_);
  Next(window_);
  Next(thread_);
  Settle();
  Unplug(radio);
  Next(window_);
  Next(window_);
  Next(thread_);
  ExpectNothingElse();
  EXPECT_TRUE(other.queue().Empty()) << "the stopped application's window was unlisted";
  EXPECT_FALSE(otherRemoved.IsSet()) << "the stopped application's event was cleared";
}

TEST_F(ChangesTest, PortWaiterIsReleasedByAnArrival) {
  auto waiter = std::async(std::launch::async, [] {
    std::int16_t com = -1;
    int code = KovrinGetModemCOMPortFromUSBPortID(kApp, 1, &com, 60000);
    return std::make_pair(code, com);
  });
  const auto until = std::chrono::steady_clock::now() + kDeadline;
  while (kovrin::TheMonitor().PortWaiters() == 0 && std::chrono::steady_clock::now() < until)
    std::this_thread::yield();
  ASSERT_EQ(kovrin::TheMonitor().PortWaiters(), 1);
  // The waiter holds no table lock, so the walk that ends its wait can run.
  EXPECT_EQ(KovrinWaitForDeviceEnum(kApp, 10000), KOVRIN_SUCCESS);

  Plug("1-2", ModemSpec(Pty(7)));
  ASSERT_EQ(waiter.wait_for(kDeadline), std::future_status::ready);
  const auto [code, com] = waiter.get();
  EXPECT_EQ(code, KOVRIN_SUCCESS);
  EXPECT_EQ(com, 7);
}

TEST_F(ChangesTest, PortWaiterWithoutAnArrivalGetsItsTimeoutCode) {
  std::int16_t com = -1;
  EXPECT_EQ(KovrinGetModemCOMPortFromUSBPortID(kApp, 3, &com, 200), KOVRIN_NO_MODEM_PORT);
  const char* path = "stale";
  EXPECT_EQ(KovrinGetUSBDevInterfaceFromUSBPort(kApp, 3, &path, 200), KOVRIN_NO_DEVICE_INTERFACE);
  EXPECT_EQ(path, nullptr);
}

TEST_F(ChangesTest, PathStaysValidAfterTheDeviceIsRemoved) {
  const std::string tty = Pty(7);
  const std::string modem = Plug("1-2", ModemSpec(tty));
  Next(window_);
  Next(window_);
  Next(window_);
  Next(thread_);
  Settle();
  const char* path = nullptr;
  ASSERT_EQ(KovrinGetUSBDevInterfaceFromUSBPort(kApp, 1, &path, 10000), KOVRIN_SUCCESS);
  Unplug(modem);
  ExpectRecord(Next(thread_), 1, 1, 0, "");
  EXPECT_STREQ(path, tty.c_str());
}

}  // namespace
}  // namespace kovrin_test
