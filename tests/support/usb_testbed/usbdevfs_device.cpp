#include "usb_testbed/usbdevfs_device.h"

#include <linux/usb/ch9.h>
#include <sys/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace usbtestbed {
namespace {

// Capabilities a current kernel reports: one URB carries a whole bulk
// transfer of any length, zero-length packets on request, and URBs can be
// reaped after the device went away.
constexpr std::uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                        USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_BULK_SCATTER_GATHER |
                                        USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
constexpr std::size_t kSetupSize = 8;

struct RequestName {
  unsigned long request;
  const char* name;
};
const RequestName kRequestNames[] = {
    {USBDEVFS_GET_CAPABILITIES, "GET_CAPABILITIES"},
    {USBDEVFS_CLAIMINTERFACE, "CLAIMINTERFACE"},
    {USBDEVFS_RELEASEINTERFACE, "RELEASEINTERFACE"},
    {USBDEVFS_DISCONNECT_CLAIM, "DISCONNECT_CLAIM"},
    {USBDEVFS_SETCONFIGURATION, "SETCONFIGURATION"},
    {USBDEVFS_SETINTERFACE, "SETINTERFACE"},
    {USBDEVFS_CLEAR_HALT, "CLEAR_HALT"},
    {USBDEVFS_RESETEP, "RESETEP"},
    {USBDEVFS_RESET, "RESET"},
    {USBDEVFS_GETDRIVER, "GETDRIVER"},
    {USBDEVFS_IOCTL, "IOCTL"},
    {USBDEVFS_CONNECTINFO, "CONNECTINFO"},
    {USBDEVFS_GET_SPEED, "GET_SPEED"},
    {USBDEVFS_SUBMITURB, "SUBMITURB"},
    {USBDEVFS_DISCARDURB, "DISCARDURB"},
    {USBDEVFS_REAPURB, "REAPURB"},
    {USBDEVFS_REAPURBNDELAY, "REAPURBNDELAY"},
    {USBDEVFS_CONTROL, "CONTROL"},
    {USBDEVFS_BULK, "BULK"},
};

std::string NameOf(unsigned long request) {
  for (const auto& r : kRequestNames)
    if (r.request == request) return r.name;
  char text[32];
  std::snprintf(text, sizeof text, "0x%08lx", request);
  return text;
}

// The speed code GET_SPEED answers (enum usb_device_speed).
int SpeedCode(int mbps) {
  if (mbps <= 2) return USB_SPEED_LOW;
  if (mbps <= 12) return USB_SPEED_FULL;
  if (mbps <= 480) return USB_SPEED_HIGH;
  return USB_SPEED_SUPER;
}

template <typename T>
T Field(const UMockdevIoctlData* data, std::size_t offset) {
  T value{};
  std::memcpy(&value, data->data + offset, sizeof value);
  return value;
}

template <typename T>
void SetField(UMockdevIoctlData* data, std::size_t offset, T value) {
  std::memcpy(data->data + offset, &value, sizeof value);
}

SetupPacket ParseSetup(std::span<const std::uint8_t> b) {
  SetupPacket s;
  s.requestType = b[0];
  s.request = b[1];
  s.value = static_cast<std::uint16_t>(b[2] | b[3] << 8);
  s.index = static_cast<std::uint16_t>(b[4] | b[5] << 8);
  s.length = static_cast<std::uint16_t>(b[6] | b[7] << 8);
  return s;
}

// Casts a signal handler to the GCallback that g_signal_connect takes.
template <typename F>
GCallback Callback(F* f) {
  return reinterpret_cast<GCallback>(reinterpret_cast<void (*)()>(f));
}

}  // namespace

// One URB between its submission and its reaping. The umockdev objects
// mirror the URB and its buffer in the client's memory: what is written
// into them reaches the client when the reaping ioctl completes.
struct UsbdevfsDevice::Urb {
  UMockdevIoctlClient* client = nullptr;
  UMockdevIoctlData* urb = nullptr;     // owned reference
  UMockdevIoctlData* buffer = nullptr;  // owned reference; none for an empty buffer
  std::uint8_t type = 0;
  std::uint8_t endpoint = 0;
  std::size_t length = 0;
  std::vector<std::uint8_t> in;  // bytes for the host so far
  std::size_t inOffset = 0;      // where they go in the buffer (after a setup packet)
  int status = 0;
  std::size_t actual = 0;
  bool fillsFromDevice = false;  // a bulk or interrupt IN URB waiting for packets

  ~Urb() {
    if (buffer) g_object_unref(buffer);
    if (urb) g_object_unref(urb);
  }
  std::uint64_t ClientAddress() const { return urb->client_addr; }
};

UsbdevfsDevice::UsbdevfsDevice(DeviceSpec spec, int busnum, int devnum)
    : spec_(std::move(spec)), busnum_(busnum), devnum_(devnum), handler_(umockdev_ioctl_base_new()) {
  g_signal_connect(handler_, "handle-ioctl", Callback(&UsbdevfsDevice::OnIoctl), this);
}

UsbdevfsDevice::~UsbdevfsDevice() {
  g_signal_handlers_disconnect_by_data(handler_, this);
  g_object_unref(handler_);
}

void UsbdevfsDevice::SetBulkSink(BulkSink* sink) {
  std::lock_guard calls(sinkMutex_);
  std::lock_guard lock(mutex_);
  sink_ = sink;
}

void UsbdevfsDevice::SendToHost(std::uint8_t inEndpoint, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  if (!connected_) return;
  const auto ep = FindEndpoint(spec_, inEndpoint);
  const std::size_t packet = ep ? std::max<std::size_t>(ep->maxPacketSize, 1) : 64;
  auto& queue = packets_[inEndpoint];
  if (bytes.empty()) queue.emplace_back();
  for (std::size_t at = 0; at < bytes.size(); at += packet) {
    const auto n = std::min(packet, bytes.size() - at);
    queue.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  FillInUrbs(inEndpoint);
  changed_.notify_all();
}

void UsbdevfsDevice::SendOversizePacket(std::uint8_t inEndpoint, std::vector<std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  if (!connected_) return;
  packets_[inEndpoint].push_back(std::move(bytes));
  FillInUrbs(inEndpoint);
  changed_.notify_all();
}

void UsbdevfsDevice::QueueCommandReply(std::vector<std::uint8_t> reply) {
  std::lock_guard lock(mutex_);
  commandReplies_.push_back(std::move(reply));
}

std::vector<ControlRecord> UsbdevfsDevice::ControlLog() const {
  std::lock_guard lock(mutex_);
  return controlLog_;
}

void UsbdevfsDevice::Disconnect() {
  std::lock_guard lock(mutex_);
  if (!connected_) return;
  connected_ = false;
  while (!inFlight_.empty()) {
    ++counts_.urbsEndedByUnplug;
    Complete(*inFlight_.front(), -ESHUTDOWN);
  }
  claims_.clear();
  NoteClaims();
  packets_.clear();
  changed_.notify_all();
}

bool UsbdevfsDevice::Connected() const {
  std::lock_guard lock(mutex_);
  return connected_;
}

std::vector<int> UsbdevfsDevice::ClaimedInterfaces() const {
  std::lock_guard lock(mutex_);
  return counts_.claimedInterfaces;
}

UsbdevfsCounts UsbdevfsDevice::Counts() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

void UsbdevfsDevice::NoteClaims() {
  counts_.claimedInterfaces.clear();
  for (const auto& [number, owner] : claims_) counts_.claimedInterfaces.push_back(number);
  changed_.notify_all();
}

bool UsbdevfsDevice::WaitFor(const std::function<bool(const UsbdevfsCounts&)>& pred, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return pred(counts_); });
}

int UsbdevfsDevice::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
  static_cast<UsbdevfsDevice*>(self)->HandleIoctl(client);
  return TRUE;
}

// A closed file gives up its interfaces and its URBs, as the kernel does.
// umockdev tells a handler nothing when a client closes its file (neither
// "client-vanished" nor a change of "connected" is signalled), so this
// happens when another file asks for an interface the closed one held.
void UsbdevfsDevice::ForgetClient(UMockdevIoctlClient* client) {
  std::erase_if(claims_, [client](const auto& claim) { return claim.second == client; });
  NoteClaims();
  inFlight_.remove_if([client](const auto& urb) { return urb->client == client; });
  std::erase_if(reapable_, [client](const auto& urb) { return urb->client == client; });
}

void UsbdevfsDevice::Count(const std::string& name) {
  std::lock_guard lock(mutex_);
  ++counts_.requests[name];
}

void UsbdevfsDevice::HandleIoctl(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  Count(NameOf(request));
  const bool connected = Connected();
  long result = -ENOTTY;

  // The argument of most requests points to a small structure.
  auto resolved = [&](std::size_t size) -> UMockdevIoctlData* {
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, size, &error);
    if (error) g_error_free(error);
    return data;
  };
  auto withStruct = [&](std::size_t size, const std::function<long(UMockdevIoctlData*)>& f) -> long {
    UMockdevIoctlData* data = resolved(size);
    if (!data) return -EFAULT;
    const long r = f(data);
    g_object_unref(data);
    return r;
  };

  if (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY) {
    result = Reap(client);
  } else if (request == USBDEVFS_SUBMITURB) {
    result = connected ? Submit(client) : -ENODEV;
  } else if (request == USBDEVFS_DISCARDURB) {
    result = Discard(client);
  } else if (!connected) {
    result = -ENODEV;
  } else if (request == USBDEVFS_GET_CAPABILITIES) {
    result = withStruct(sizeof(std::uint32_t), [](UMockdevIoctlData* d) {
      SetField<std::uint32_t>(d, 0, kCapabilities);
      return 0L;
    });
  } else if (request == USBDEVFS_CLAIMINTERFACE || request == USBDEVFS_RELEASEINTERFACE) {
    result = withStruct(sizeof(unsigned), [&](UMockdevIoctlData* d) {
      const auto number = Field<unsigned>(d, 0);
      return request == USBDEVFS_CLAIMINTERFACE ? Claim(client, number) : Release(client, number);
    });
  } else if (request == USBDEVFS_DISCONNECT_CLAIM) {
    result = withStruct(sizeof(usbdevfs_disconnect_claim), [&](UMockdevIoctlData* d) {
      return Claim(client, Field<unsigned>(d, offsetof(usbdevfs_disconnect_claim, interface)));
    });
  } else if (request == USBDEVFS_GETDRIVER || request == USBDEVFS_IOCTL) {
    result = -ENODATA;  // no kernel driver is bound to any interface
  } else if (request == USBDEVFS_SETCONFIGURATION || request == USBDEVFS_SETINTERFACE ||
             request == USBDEVFS_CLEAR_HALT || request == USBDEVFS_RESETEP || request == USBDEVFS_RESET) {
    result = 0;
  } else if (request == USBDEVFS_CONNECTINFO) {
    result = withStruct(sizeof(usbdevfs_connectinfo), [&](UMockdevIoctlData* d) {
      SetField<unsigned>(d, offsetof(usbdevfs_connectinfo, devnum), static_cast<unsigned>(devnum_));
      SetField<unsigned char>(d, offsetof(usbdevfs_connectinfo, slow), spec_.speedMbps <= 2 ? 1 : 0);
      return 0L;
    });
  } else if (request == USBDEVFS_GET_SPEED) {
    result = SpeedCode(spec_.speedMbps);
  }
  if (result < 0)
    umockdev_ioctl_client_complete(client, -1, static_cast<int>(-result));
  else
    umockdev_ioctl_client_complete(client, result, 0);
}

long UsbdevfsDevice::Claim(UMockdevIoctlClient* client, unsigned interface) {
  if (interface >= spec_.interfaces.size()) return -ENOENT;
  std::lock_guard lock(mutex_);
  auto it = claims_.find(static_cast<int>(interface));
  if (it != claims_.end() && it->second != client) {
    if (umockdev_ioctl_client_get_connected(it->second)) return -EBUSY;
    ForgetClient(it->second);
  }
  claims_[static_cast<int>(interface)] = client;
  NoteClaims();
  return 0;
}

long UsbdevfsDevice::Release(UMockdevIoctlClient* client, unsigned interface) {
  std::lock_guard lock(mutex_);
  auto it = claims_.find(static_cast<int>(interface));
  if (it == claims_.end() || it->second != client) return -EINVAL;
  claims_.erase(it);
  NoteClaims();
  return 0;
}

long UsbdevfsDevice::Submit(UMockdevIoctlClient* client) {
  GError* error = nullptr;
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  auto urb = std::make_unique<Urb>();
  urb->client = client;
  urb->urb = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), &error);
  if (error) g_error_free(error);
  if (!urb->urb) return -EFAULT;
  urb->type = Field<unsigned char>(urb->urb, offsetof(usbdevfs_urb, type));
  urb->endpoint = Field<unsigned char>(urb->urb, offsetof(usbdevfs_urb, endpoint));
  const int length = Field<int>(urb->urb, offsetof(usbdevfs_urb, buffer_length));
  const auto flags = Field<unsigned>(urb->urb, offsetof(usbdevfs_urb, flags));
  if (length < 0) return -EINVAL;
  urb->length = static_cast<std::size_t>(length);
  if (urb->length > 0) {
    urb->buffer = umockdev_ioctl_data_resolve(urb->urb, offsetof(usbdevfs_urb, buffer), urb->length, &error);
    if (error) g_error_free(error);
    if (!urb->buffer) return -EFAULT;
  }
  const std::span<const std::uint8_t> buffer(urb->buffer ? urb->buffer->data : nullptr, urb->length);
  const bool in = (urb->endpoint & 0x80) != 0;

  if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
    if (urb->length < kSetupSize || (urb->endpoint & 0x7F) != 0) return -EINVAL;
    std::lock_guard lock(mutex_);
    AnswerControl(*urb, buffer);
    inFlight_.push_back(std::move(urb));
    Complete(*inFlight_.back(), inFlight_.back()->status);
    return 0;
  }
  if (urb->type != USBDEVFS_URB_TYPE_BULK && urb->type != USBDEVFS_URB_TYPE_INTERRUPT) return -EINVAL;
  const auto ep = FindEndpoint(spec_, urb->endpoint);
  if (!ep) return -ENOENT;

  if (in) {
    std::lock_guard lock(mutex_);
    urb->fillsFromDevice = true;
    inFlight_.push_back(std::move(urb));
    FillInUrbs(inFlight_.back()->endpoint);
    return 0;
  }
  // OUT: the data goes to the device now; the URB completes with all of it.
  const std::vector<std::uint8_t> bytes(buffer.begin(), buffer.end());
  std::lock_guard calls(sinkMutex_);
  BulkSink* sink = nullptr;
  {
    std::lock_guard lock(mutex_);
    counts_.bytesFromHost += bytes.size();
    if (bytes.empty()) ++counts_.zeroLengthOut;
    if ((flags & USBDEVFS_URB_ZERO_PACKET) && !bytes.empty() && bytes.size() % ep->maxPacketSize == 0)
      ++counts_.zeroPacketsAdded;
    urb->actual = bytes.size();
    sink = sink_;
    inFlight_.push_back(std::move(urb));
    Complete(*inFlight_.back(), 0);
    changed_.notify_all();
  }
  if (sink) sink->FromHost(ep->address, bytes);
  return 0;
}

void UsbdevfsDevice::AnswerControl(Urb& urb, std::span<const std::uint8_t> buffer) {
  const SetupPacket setup = ParseSetup(buffer.first(kSetupSize));
  const bool in = (setup.requestType & USB_DIR_IN) != 0;
  urb.inOffset = kSetupSize;
  std::vector<std::uint8_t> reply;
  if ((setup.requestType & USB_TYPE_MASK) == USB_TYPE_STANDARD) {
    if (!StandardRequest(setup, reply)) {
      urb.status = -EPIPE;
      return;
    }
  } else {
    controlLog_.push_back({setup, in ? std::vector<std::uint8_t>{}
                                     : std::vector<std::uint8_t>(buffer.begin() + kSetupSize, buffer.end())});
    if (in) {
      if (commandReplies_.empty()) {
        urb.status = -EPIPE;
        return;
      }
      reply = std::move(commandReplies_.front());
      commandReplies_.pop_front();
    }
  }
  if (in) {
    reply.resize(std::min<std::size_t>(reply.size(), std::min<std::size_t>(setup.length, urb.length - kSetupSize)));
    counts_.bytesToHost += reply.size();
    urb.actual = reply.size();
    urb.in = std::move(reply);
  } else {
    urb.actual = urb.length - kSetupSize;
    counts_.bytesFromHost += urb.actual;
  }
  urb.status = 0;
}

bool UsbdevfsDevice::StandardRequest(const SetupPacket& setup, std::vector<std::uint8_t>& reply) const {
  switch (setup.request) {
    case USB_REQ_GET_DESCRIPTOR: {
      const auto kind = static_cast<std::uint8_t>(setup.value >> 8);
      const auto index = static_cast<std::uint8_t>(setup.value & 0xFF);
      if (kind == USB_DT_DEVICE) reply = DeviceDescriptor(spec_);
      else if (kind == USB_DT_CONFIG && index == 0) reply = ConfigurationDescriptor(spec_);
      else if (kind == USB_DT_STRING) {
        auto text = StringDescriptor(spec_, index);
        if (!text) return false;
        reply = *text;
      } else
        return false;
      return true;
    }
    case USB_REQ_GET_STATUS:
      reply = {0, 0};
      return true;
    case USB_REQ_GET_CONFIGURATION:
      reply = {1};
      return true;
    case USB_REQ_GET_INTERFACE:
      reply = {0};
      return true;
    case USB_REQ_SET_CONFIGURATION:
    case USB_REQ_SET_INTERFACE:
    case USB_REQ_CLEAR_FEATURE:
    case USB_REQ_SET_FEATURE:
      return true;
    default:
      return false;
  }
}

// Hands the device's waiting packets to the oldest IN URBs of the
// endpoint. A URB ends when it is full or took a short packet; a packet
// longer than the room left is split (a real device would overrun the
// buffer, which a host avoids by asking for whole packets), except one
// longer than the packet size, which overflows the URB.
void UsbdevfsDevice::FillInUrbs(std::uint8_t endpoint) {
  auto& queue = packets_[endpoint];
  const auto ep = FindEndpoint(spec_, endpoint);
  const std::size_t packetSize = ep ? ep->maxPacketSize : 64;
  for (auto it = inFlight_.begin(); it != inFlight_.end() && !queue.empty();) {
    Urb& urb = **it;
    ++it;
    if (!urb.fillsFromDevice || urb.endpoint != endpoint) continue;
    bool ended = false;
    int status = 0;
    while (!queue.empty() && !ended) {
      auto& packet = queue.front();
      const std::size_t room = urb.length - urb.in.size();
      const std::size_t n = std::min(room, packet.size());
      const bool shortPacket = packet.size() < packetSize;
      urb.in.insert(urb.in.end(), packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(n));
      counts_.bytesToHost += n;
      if (packet.size() > packetSize) {
        // Babble: the transfer ends in an overflow and the excess is gone.
        queue.pop_front();
        status = -EOVERFLOW;
        ended = true;
      } else if (n == packet.size()) {
        queue.pop_front();
        ended = shortPacket || urb.in.size() == urb.length;
      } else {
        packet.erase(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(n));
        ended = true;
      }
    }
    if (ended) {
      urb.actual = urb.in.size();
      Complete(urb, status);
    }
  }
}

void UsbdevfsDevice::Complete(Urb& urb, int status) {
  urb.status = status;
  if (urb.fillsFromDevice) urb.actual = urb.in.size();
  for (auto it = inFlight_.begin(); it != inFlight_.end(); ++it) {
    if (it->get() == &urb) {
      reapable_.push_back(std::move(*it));
      inFlight_.erase(it);
      break;
    }
  }
  changed_.notify_all();
}

long UsbdevfsDevice::Discard(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  const auto address = Field<std::uint64_t>(arg, 0);
  std::lock_guard lock(mutex_);
  for (auto& urb : inFlight_) {
    if (urb->client == client && urb->ClientAddress() == address) {
      ++counts_.urbsDiscarded;
      Complete(*urb, -ENOENT);
      return 0;
    }
  }
  return -EINVAL;  // already completed
}

long UsbdevfsDevice::Reap(UMockdevIoctlClient* client) {
  std::unique_ptr<Urb> urb;
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(reapable_.begin(), reapable_.end(),
                           [client](const auto& u) { return u->client == client; });
    if (it == reapable_.end()) return connected_ ? -EAGAIN : -ENODEV;
    urb = std::move(*it);
    reapable_.erase(it);
  }
  SetField<int>(urb->urb, offsetof(usbdevfs_urb, status), urb->status);
  SetField<int>(urb->urb, offsetof(usbdevfs_urb, actual_length), static_cast<int>(urb->actual));
  if (urb->buffer && !urb->in.empty())
    std::memcpy(urb->buffer->data + urb->inOffset, urb->in.data(),
                std::min(urb->in.size(), urb->length - urb->inOffset));
  GError* error = nullptr;
  UMockdevIoctlData* slot =
      umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(void*), &error);
  if (error) g_error_free(error);
  if (!slot) return -EFAULT;
  // The slot keeps the URB's mirror (and its buffer's) until they are
  // written back to the client.
  umockdev_ioctl_data_set_ptr(slot, 0, urb->urb);
  g_object_unref(slot);
  return 0;
}

}  // namespace usbtestbed
