#pragma once
// The kernel's side of one USB device node (/dev/bus/usb/BBB/DDD) in a
// umockdev test bed: an ioctl handler that serves the usbdevfs requests a
// libusb program makes on it, the way the kernel's usbfs answers them.
//
// - capability query, claim and release of interfaces (one owner per
//   interface among the opened files), set configuration and interface,
//   clear halt, reset, the kernel-driver queries (no driver is bound); a
//   closed file's claims end when another file claims the interface;
// - URBs: bulk OUT data goes to the device's bulk sink, bulk IN URBs are
//   filled from what the device sends (in packets of the endpoint's size;
//   a short packet ends a transfer; an oversize one overflows it), control URBs on endpoint 0 are
//   answered from the descriptors or, for vendor and class requests, by
//   the command handler; every URB completes into the reap queue, a
//   discarded one with -ENOENT and the bytes it had;
// - unplugging (Disconnect) ends every URB in flight with -ESHUTDOWN and
//   answers every later request with ENODEV, as a removed device does.
//
// umockdev runs the handler on its test bed's worker thread; SendToHost
// and the queries may be called from any thread.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "usb_testbed/usb_descriptors.h"

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;

namespace usbtestbed {

// Where the bytes the host writes on a bulk OUT endpoint go.
class BulkSink {
 public:
  virtual ~BulkSink() = default;
  virtual void FromHost(std::uint8_t endpoint, std::span<const std::uint8_t> bytes) = 0;
};

struct SetupPacket {
  std::uint8_t requestType = 0;
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::uint16_t length = 0;
};

// One control transfer that was not a standard request.
struct ControlRecord {
  SetupPacket setup;
  std::vector<std::uint8_t> dataOut;  // the data stage of a host-to-device request
};

// What the handler counted.
struct UsbdevfsCounts {
  std::map<std::string, int> requests;  // by request name, unknown ones as "0x...."
  std::uint64_t bytesFromHost = 0;
  std::uint64_t bytesToHost = 0;
  int zeroLengthOut = 0;     // OUT transfers of no bytes
  int zeroPacketsAdded = 0;  // OUT transfers the host asked to end with a zero-length packet
  int urbsDiscarded = 0;
  int urbsEndedByUnplug = 0;
  std::vector<int> claimedInterfaces;  // claimed now
};

class UsbdevfsDevice {
 public:
  UsbdevfsDevice(DeviceSpec spec, int busnum, int devnum);
  ~UsbdevfsDevice();
  UsbdevfsDevice(const UsbdevfsDevice&) = delete;
  UsbdevfsDevice& operator=(const UsbdevfsDevice&) = delete;

  // The handler to attach to the device node (owned by this object).
  UMockdevIoctlBase* Handler() const { return handler_; }
  const DeviceSpec& Spec() const { return spec_; }
  int Devnum() const { return devnum_; }

  // Where bulk OUT data goes; nullptr drops it. The sink must outlive its
  // setting; it is called on umockdev's worker thread, without locks held.
  void SetBulkSink(BulkSink* sink);
  // Bytes the device sends on a bulk IN endpoint (an empty span sends a
  // zero-length packet).
  void SendToHost(std::uint8_t inEndpoint, std::span<const std::uint8_t> bytes);
  // A device that babbles: one packet longer than the endpoint's packet
  // size. The IN URB that takes it ends with -EOVERFLOW, holding what fit,
  // as the kernel reports it; the rest is lost.
  void SendOversizePacket(std::uint8_t inEndpoint, std::vector<std::uint8_t> bytes);
  // Device-to-host vendor or class requests take their data stage from
  // these replies, in order (at most the length the host asked for); with
  // none queued such a request stalls. Host-to-device ones are taken.
  void QueueCommandReply(std::vector<std::uint8_t> reply);
  std::vector<ControlRecord> ControlLog() const;

  // The device is unplugged: URBs in flight end, later requests fail.
  void Disconnect();
  bool Connected() const;

  // Which interfaces are claimed now.
  std::vector<int> ClaimedInterfaces() const;
  UsbdevfsCounts Counts() const;
  // Waits until pred(counts) holds or the deadline passes (pred runs
  // under the device's lock: it must not call the device).
  bool WaitFor(const std::function<bool(const UsbdevfsCounts&)>& pred, int timeoutMs) const;

 private:
  struct Urb;
  static int OnIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, void* self);
  void HandleIoctl(UMockdevIoctlClient* client);
  void Count(const std::string& name);
  // Each returns the ioctl's result (>= 0) or -errno.
  long Submit(UMockdevIoctlClient* client);
  long Reap(UMockdevIoctlClient* client);
  long Discard(UMockdevIoctlClient* client);
  long Claim(UMockdevIoctlClient* client, unsigned interface);
  long Release(UMockdevIoctlClient* client, unsigned interface);
  void AnswerControl(Urb& urb, std::span<const std::uint8_t> buffer);
  bool StandardRequest(const SetupPacket& setup, std::vector<std::uint8_t>& reply) const;
  void FillInUrbs(std::uint8_t endpoint);  // with mutex_ held
  void Complete(Urb& urb, int status);     // with mutex_ held
  void ForgetClient(UMockdevIoctlClient* client);  // with mutex_ held
  void NoteClaims();  // with mutex_ held

  const DeviceSpec spec_;
  const int busnum_;
  const int devnum_;
  UMockdevIoctlBase* handler_ = nullptr;

  std::mutex sinkMutex_;  // held while the sink is called, so it is never called after SetBulkSink
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool connected_ = true;
  BulkSink* sink_ = nullptr;
  std::map<int, UMockdevIoctlClient*> claims_;
  std::list<std::unique_ptr<Urb>> inFlight_;
  std::deque<std::unique_ptr<Urb>> reapable_;
  std::map<std::uint8_t, std::deque<std::vector<std::uint8_t>>> packets_;  // by IN endpoint
  std::deque<std::vector<std::uint8_t>> commandReplies_;
  std::vector<ControlRecord> controlLog_;
  UsbdevfsCounts counts_;
};

}  // namespace usbtestbed
