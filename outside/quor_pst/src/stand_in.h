#pragma once
// The stand-in driver's state: the simulated devices, the registered
// windows, the maximum bulk size, the call log and the forced statuses, and
// the data plane that device processes attach to. One per process.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "call_log.h"
#include "data_plane.h"
#include "device_peer.h"

namespace quor_pst {

struct SimDevice {
  unsigned interfaces = 0;
  std::int16_t outEpSize = 64;
  std::int16_t inEpSize = 64;
  bool plugged = false;
  std::shared_ptr<DevicePeer> peer;  // the attached device process, if any
  std::deque<std::vector<std::uint8_t>> commandReplies;
};

class StandIn : public AttachHandler {
 public:
  static StandIn& Instance();
  ~StandIn() override;

  // Driver calls; each returns an EPSTStatus. `moved` reports lengths moved.
  int Initialize();
  int Uninitialize();
  int Read(std::uint16_t device, int handle, int pipe, void* buffer, std::uint32_t wanted,
           std::uint32_t& moved, std::uint32_t timeoutMs);
  int Write(std::uint16_t device, int handle, int pipe, const void* buffer, std::uint32_t length,
            std::uint32_t& moved, std::uint32_t timeoutMs);
  int InterfaceHandleOf(std::uint16_t device, const char* name, int& handle);
  int DeviceList(std::uint16_t* ids, int capacity, int& count);
  int RegisterChangeWindow(std::uint32_t window);
  int RegisterMonitorWindow(std::uint32_t window);
  int MaxBulkSize(int& size);
  // name null: the device's own sizes; else the named interface's.
  int EndpointSize(std::uint16_t device, const char* name, bool out, std::int16_t& size);

  // Control.
  void Reset();
  int Define(std::uint16_t device, unsigned interfaces, std::int16_t outEp, std::int16_t inEp);
  int Plug(std::uint16_t device);
  int Unplug(std::uint16_t device);
  bool IsPlugged(std::uint16_t device);
  void SetMaxBulkSize(int size);
  int QueueCommandReply(std::uint16_t device, const void* data, std::uint32_t length);
  std::uint32_t ChangeWindow();
  std::uint32_t MonitorWindow();
  std::string SocketPath();

  CallLog& Log() { return log_; }
  ForcedStatuses& Forced() { return forced_; }

  // Data plane.
  std::string Attach(const AttachRequest& request, const std::shared_ptr<DevicePeer>& peer,
                     const std::function<void()>& accepted) override;
  void Detached(const std::shared_ptr<DevicePeer>& peer) override;

 private:
  StandIn();
  // With the lock held: the plugged device, or null.
  SimDevice* FindPlugged(std::uint16_t device);
  void PlugLocked(std::uint16_t device, SimDevice& sim);
  void UnplugLocked(std::uint16_t device, SimDevice& sim);
  int ReadCommand(SimDevice& sim, void* buffer, std::uint32_t wanted, std::uint32_t& moved);
  int ReadBulk(std::unique_lock<std::mutex>& lock, SimDevice& sim, void* buffer, std::uint32_t wanted,
               std::uint32_t& moved, std::uint32_t timeoutMs);
  int WriteBulk(std::unique_lock<std::mutex>& lock, SimDevice& sim, const void* buffer, std::uint32_t length,
                std::uint32_t& moved, std::uint32_t timeoutMs);

  std::mutex mutex_;
  std::map<std::uint16_t, SimDevice> devices_;
  std::uint32_t changeWindow_ = 0;
  std::uint32_t monitorWindow_ = 0;
  int maxBulkSize_;
  bool initialized_ = false;
  CallLog log_;
  ForcedStatuses forced_;
  DataPlane dataPlane_;
  bool listening_ = false;
};

}  // namespace quor_pst
