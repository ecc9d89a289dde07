#include "usb_monitor.h"

#include <array>
#include <cstring>
#include <memory>
#include <strings.h>

#include "kovrin/kovrin.h"
#include "kovrin_trace.h"
#include "platform/com_map.h"
#include "platform/target_registry.h"

namespace kovrin {
namespace {

constexpr std::uint16_t kMakerVendorId = 0x1d07;
constexpr std::uint16_t kModemProductId = 0x0020;
constexpr std::uint8_t kLinkStatusArrival[3] = {0xF0, 0xF0, 0x01};
constexpr std::uint8_t kLinkStatusRemoval[3] = {0xF0, 0xF0, 0x00};

using LinkStatusEvent = std::array<std::uint8_t, 3>;

// Each receiver gets its own copy of the record, carried by the message.
platform::Message RecordMessage(const ChangeNotice& notice) {
  auto copy = std::make_unique<UsbChangeRecord>(notice.record);
  auto address = reinterpret_cast<platform::LParam>(copy.get());
  platform::Message message(WM_USB_DEVICE_EVENT, notice.length, address);
  message.payload = platform::OwnedPayload(std::move(copy));
  return message;
}

platform::Message LinkStatusMessage(const std::uint8_t (&bytes)[3]) {
  auto copy = std::make_unique<LinkStatusEvent>(LinkStatusEvent{bytes[0], bytes[1], bytes[2]});
  auto address = reinterpret_cast<platform::LParam>(copy->data());
  platform::Message message(WM_USB_LINE_STATUS, platform::WParam{3} << 16, address);
  message.payload = platform::OwnedPayload(std::move(copy));
  return message;
}

void PostPresence(platform::WindowHandle window, bool arrived, PortEntry entry) {
  platform::PostWindowMessage(window, WM_USB_DEVICE_PRESENCE, arrived ? 1 : 0,
                              static_cast<platform::LParam>(entry));
}

}  // namespace

bool IsNotModemChange(const platform::UsbDeviceChange& change) {
  if (change.kind != platform::UsbDeviceChange::Kind::UsbDevice || !change.idsKnown) return false;
  return change.vendorId == kMakerVendorId && change.productId != kModemProductId;
}

UsbMonitor::UsbMonitor()
    : comOf_([](const std::string& tty) { return platform::ComNumberOfDevice(tty); }) {
  // The registry of windows and threads must outlive the monitor, whose
  // notification thread posts into it until it is stopped.
  (void)platform::IsRegisteredThread(platform::kNoHandle);
  Lock lock(enumerateMutex_);
  WalkLocked();
  snapshot_.Take(table_);
}

UsbMonitor::~UsbMonitor() { notifier_.Stop(); }

UsbMonitor& TheMonitor() {
  static UsbMonitor monitor;
  return monitor;
}

void UsbMonitor::WalkLocked() {
  auto outcome = WalkUsbTree(platform::ReadUsbHostTree(), table_, history_, false, comOf_);
  waits_.Arrived(outcome.connectedPorts);
}

int UsbMonitor::Initialize() {
  std::lock_guard lock(lifecycleMutex_);
  if (initCount_ == 0 && !notifier_.Running()) {
    if (!notifier_.Start([this](const platform::UsbDeviceChange& change) { OnDeviceChange(change); }))
      return KOVRIN_FAULT;
    notifying_ = true;
  }
  ++initCount_;
  return KOVRIN_SUCCESS;
}

int UsbMonitor::Terminate() {
  std::lock_guard lock(lifecycleMutex_);
  if (initCount_ == 0) return KOVRIN_NOT_INITIALIZED;
  if (--initCount_ == 0) {
    notifying_ = false;
    notifier_.Stop();
  }
  return KOVRIN_SUCCESS;
}

int UsbMonitor::Start(std::uint16_t appId) {
  if (appId >= kSubscriberPlaces) return KOVRIN_FAULT;
  std::lock_guard lock(registrationMutex_);
  if (startCount_ == 0) {
    {
      std::lock_guard life(lifecycleMutex_);
      if (!notifier_.Running() || !notifier_.Listening()) return KOVRIN_REGISTRATION_FAILED;
    }
    // Subscribers hear of changes from the table as it stands now.
    Lock table(enumerateMutex_);
    WalkLocked();
    snapshot_.Take(table_);
    registered_ = true;
  }
  ++startCount_;
  ++startsOf_[appId];
  return KOVRIN_SUCCESS;
}

int UsbMonitor::Stop(std::uint16_t appId) {
  if (appId >= kSubscriberPlaces) return KOVRIN_FAULT;
  std::lock_guard lock(registrationMutex_);
  if (startCount_ == 0) return KOVRIN_NO_REGISTRATION;
  if (startsOf_[appId] > 0 && --startsOf_[appId] == 0) subscribers_.Forget(appId);
  if (--startCount_ == 0) registered_ = false;
  return KOVRIN_SUCCESS;
}

void UsbMonitor::OnDeviceChange(const platform::UsbDeviceChange& change) {
  using Action = platform::UsbDeviceChange::Action;
  using Kind = platform::UsbDeviceChange::Kind;
  KovrinTrace("change %s %s %s ids %04x:%04x%s", change.action == Action::Add ? "add" : change.action == Action::Remove ? "remove" : "other",
              change.kind == Kind::UsbDevice ? "usb device" : change.kind == Kind::Tty ? "tty" : "other",
              change.syspath.c_str(), change.vendorId, change.productId, registered_ ? "" : " (not registered)");
  if (!registered_) return;
  if (change.action == Action::Add && change.kind != Kind::Other) ProcessArrival(change);
  else if (change.action == Action::Remove && change.kind == Kind::UsbDevice) ProcessRemoval(change);
}

std::vector<ChangeNotice> UsbMonitor::RescanDevices() {
  Lock table(enumerateMutex_);
  std::lock_guard change(deviceChangeMutex_);
  auto outcome = WalkUsbTree(platform::ReadUsbHostTree(), table_, history_, true, comOf_);
  waits_.Arrived(outcome.connectedPorts);
  const auto& c = table_.counters;
  KovrinTrace("rescan: %d controllers, %d hubs, %d ports (%d root, %d connected), %d maker devices",
              c.hostControllers, c.hubs, c.ports, c.rootPorts, c.connectedPorts, c.makerDevices);
  return TakeArrivalNotices(snapshot_, table_);
}

void UsbMonitor::ProcessArrival(const platform::UsbDeviceChange& change) {
  PostToSubscribers(RescanDevices(), IsNotModemChange(change));
}

void UsbMonitor::PostToSubscribers(const std::vector<ChangeNotice>& notices, bool notModemChange) {
  const auto lists = subscribers_.Take();
  for (const auto& notice : notices) {
    KovrinTrace("record port %d kind %d present %d length %zu entry %08x%s", notice.port, notice.record.kind,
                notice.record.present, notice.length, notice.entry, notModemChange ? " (not the modem's)" : "");
    for (int place = 0; place < kSubscriberPlaces; ++place) {
      if (lists.threads[place] != platform::kNoHandle)
        platform::PostThreadMessage(lists.threads[place], RecordMessage(notice));
      const auto window = lists.windows[place];
      if (window == platform::kNoHandle) continue;
      platform::PostWindowMessage(window, RecordMessage(notice));
      if (!notModemChange)
        platform::PostWindowMessage(window, LinkStatusMessage(notice.record.present ? kLinkStatusArrival
                                                                                      : kLinkStatusRemoval));
      if (EntryPresent(notice.entry)) PostPresence(window, true, notice.entry);
    }
  }
}

void UsbMonitor::ProcessRemoval(const platform::UsbDeviceChange& change) {
  std::optional<ChangeNotice> removed;
  {
    Lock table(enumerateMutex_);
    for (int p = 0; p < kPortCount && !removed; ++p) {
      PortDevice& device = table_.devices[p];
      if (device.syspath.empty() || strcasecmp(device.syspath.c_str(), change.syspath.c_str()) != 0) continue;
      const PortEntry before = table_.entries[p];
      device = PortDevice{};
      table_.entries[p] = MakeEntry(p, EntryCom(before), false, EntryKind(before));
      history_.flippedPort = p;
      history_.presentBefore[p] = false;
      // Subscribers now know the port as empty.
      snapshot_.entries[p] = EmptyEntry(p);
      removed = MakeNotice(p, table_.entries[p], EntryKind(before), false, {});
    }
  }
  KovrinTrace("removal of %s: %s", change.syspath.c_str(), removed ? "port found" : "no port holds it");
  if (removed) {
    const bool notModem = IsNotModemChange(change);
    const auto lists = subscribers_.Take();
    for (int place = 0; place < kSubscriberPlaces; ++place) {
      if (lists.windows[place] != platform::kNoHandle)
        platform::PostWindowMessage(lists.windows[place], RecordMessage(*removed));
      if (lists.threads[place] != platform::kNoHandle)
        platform::PostThreadMessage(lists.threads[place], RecordMessage(*removed));
    }
    for (auto window : lists.windows) {
      if (window == platform::kNoHandle) continue;
      if (!notModem) platform::PostWindowMessage(window, LinkStatusMessage(kLinkStatusRemoval));
      PostPresence(window, false, removed->entry);
    }
  }
  subscribers_.SetAllEvents();
}

}  // namespace kovrin
