#pragma once
// The USB device monitor: the port table with its locks, the notification
// thread, the subscribers, the port waits and the queries behind the
// exports. One instance serves the process (TheMonitor); its load walk runs
// when it is first used.
//
// Locks: walks and port queries take the enumerate lock; start and stop
// take the registration lock; a rescan on change takes the enumerate lock
// and then the device-change lock. Port waits hold none of them.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "change_records.h"
#include "path_pool.h"
#include "platform/usb_change_monitor.h"
#include "platform/usb_tree.h"
#include "port_table.h"
#include "port_waits.h"
#include "subscribers.h"
#include "tree_walk.h"

namespace kovrin {

class UsbMonitor {
 public:
  UsbMonitor();
  ~UsbMonitor();
  UsbMonitor(const UsbMonitor&) = delete;
  UsbMonitor& operator=(const UsbMonitor&) = delete;

  // Lifecycle (the export codes).
  int Initialize();
  int Terminate();
  int Start(std::uint16_t appId);
  int Stop(std::uint16_t appId);
  bool Initialized() const { return initCount_ > 0; }
  bool Registered() const { return registered_.load(); }

  Subscribers& subscribers() { return subscribers_; }
  // The enumerate lock itself, for whoever must hold walks, queries and
  // change dispatch back for a while (it is recursive).
  std::recursive_timed_mutex& EnumerateLock() { return enumerateMutex_; }
  // Waits until every change announced so far has been handled.
  bool FlushChanges(std::chrono::milliseconds timeout) { return notifier_.Flush(timeout); }
  // Callers waiting for a device on a port right now.
  int PortWaiters() const { return waits_.Waiting(); }

  // Queries (the export codes; outputs are checked by the caller).
  int GetDeviceList(int& count, int* entries);
  int GetDeviceUsbPortId(const char* devicePath, std::int16_t& port);
  int GetModemCommPort(int& com);
  int GetRs232Ports(int& count, int* ports, int capacity);
  int GetModemComPortFromUsbPort(int port, std::int16_t& com, int timeoutMs);
  int GetUsbDevInterfaceFromUsbPort(int port, const char*& path, int timeoutMs);
  int GetBulkMaxPacketSize(int port, bool in, const char* interfaceText, std::int16_t& size);
  int GetSmartphoneList(int& count, std::int16_t* ports);
  int GetUsbDeviceConnectedPorts(int& count, std::int16_t* ports);
  int WaitForDeviceEnum(int timeoutMs);
  int GetDeviceRemovePort(std::int16_t& port);
  int GetInterfaceString(int port, std::string& text);
  int IdentifyDevice(int port, std::string& text);
  int GetProductName(int port, std::string& text);
  int GetModemConnectedPort(std::int16_t& port);
  int GetDeviceDescription(int port, std::string& text);
  int GetTotalPorts(std::int16_t& count);
  int DeviceIsHub(int port, int& isHub);
  int CheckTestCommandUsage(int port, int& used);
  int GetVendorProductIds(int port, std::int16_t& vendorId, std::int16_t& productId);

  // A change the system announced; runs on the notification thread.
  void OnDeviceChange(const platform::UsbDeviceChange& change);

 private:
  using Lock = std::unique_lock<std::recursive_timed_mutex>;

  // A plain walk; the caller holds the enumerate lock.
  void WalkLocked();
  void ProcessArrival(const platform::UsbDeviceChange& change);
  void ProcessRemoval(const platform::UsbDeviceChange& change);
  std::vector<ChangeNotice> RescanDevices();
  // Waits, outside every table lock, for a device on a port that has none.
  void WaitForPort(int port, int timeoutMs);
  void PostToSubscribers(const std::vector<ChangeNotice>& notices, bool notModemChange);

  std::recursive_timed_mutex enumerateMutex_;
  std::mutex registrationMutex_;
  std::mutex deviceChangeMutex_;
  std::mutex lifecycleMutex_;

  PortTable table_;
  PresenceHistory history_;
  DispatchSnapshot snapshot_;
  PortWaits waits_;
  PathPool paths_;
  Subscribers subscribers_;
  ComLookup comOf_;

  platform::UsbChangeMonitor notifier_;
  int initCount_ = 0;
  int startCount_ = 0;
  std::array<int, kSubscriberPlaces> startsOf_{};
  std::atomic<bool> registered_{false};
  std::atomic<bool> notifying_{false};  // the notification thread runs
};

UsbMonitor& TheMonitor();

// Whether a change concerns one of the maker's devices other than its modem.
bool IsNotModemChange(const platform::UsbDeviceChange& change);

}  // namespace kovrin
