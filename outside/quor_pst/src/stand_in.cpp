#include "stand_in.h"

#include <algorithm>
#include <cstring>

#include "device_change_notices.h"
#include "interface_table.h"
#include "platform/target_registry.h"
#include "quor_pst/quor_pst.h"

namespace quor_pst {

namespace {

constexpr int kDefaultMaxBulkSize = 4096;
constexpr std::uint32_t kCommandHeaderSize = 8;
constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;

platform::Milliseconds TimeoutOf(std::uint32_t ms) {
  return ms == kWaitForever ? platform::kInfinite : platform::Milliseconds(ms);
}

const InterfaceEntry* FindInterface(const SimDevice& sim, const char* name) {
  if (!name) return nullptr;
  for (const auto& entry : kInterfaces) {
    if ((sim.interfaces & entry.bit) && std::strcmp(name, entry.name) == 0) return &entry;
  }
  return nullptr;
}

bool OwnsHandle(std::uint16_t device, const SimDevice& sim, int handle) {
  return std::any_of(kInterfaces.begin(), kInterfaces.end(), [&](const InterfaceEntry& entry) {
    return (sim.interfaces & entry.bit) && InterfaceHandle(device, entry) == handle;
  });
}

}  // namespace

StandIn& StandIn::Instance() {
  static StandIn instance;
  return instance;
}

StandIn::StandIn() : maxBulkSize_(kDefaultMaxBulkSize), dataPlane_(*this) {
  // The registry must outlive this object: touching it first makes it so.
  platform::IsRegisteredWindow(platform::kNoHandle);
  listening_ = dataPlane_.Start();
}

StandIn::~StandIn() = default;

SimDevice* StandIn::FindPlugged(std::uint16_t device) {
  auto it = devices_.find(device);
  if (it == devices_.end() || !it->second.plugged) return nullptr;
  return &it->second;
}

void StandIn::PlugLocked(std::uint16_t device, SimDevice& sim) {
  if (sim.plugged) return;
  sim.plugged = true;
  PostArrivals(changeWindow_, monitorWindow_, device, DriverKindsOf(sim.interfaces));
}

void StandIn::UnplugLocked(std::uint16_t device, SimDevice& sim) {
  if (sim.peer) {
    sim.peer->Disconnect();
    sim.peer.reset();
  }
  if (!sim.plugged) return;
  sim.plugged = false;
  PostRemovals(changeWindow_, monitorWindow_, device, DriverKindsOf(sim.interfaces));
}

// ---- driver calls ----

int StandIn::Initialize() {
  std::lock_guard lock(mutex_);
  initialized_ = true;
  return PST_OK;
}

int StandIn::Uninitialize() {
  std::lock_guard lock(mutex_);
  if (!initialized_) return PST_NOT_INITIALIZED;
  initialized_ = false;
  return PST_OK;
}

int StandIn::Read(std::uint16_t device, int handle, int pipe, void* buffer, std::uint32_t wanted,
                  std::uint32_t& moved, std::uint32_t timeoutMs) {
  moved = 0;
  std::unique_lock lock(mutex_);
  SimDevice* sim = FindPlugged(device);
  if (!sim) return PST_NO_DEVICE;
  if (!OwnsHandle(device, *sim, handle)) return PST_NO_INTERFACE;
  if (!buffer && wanted > 0) return PST_INVALID_PARAMETER;
  if (pipe == PST_PIPE_COMMAND) return ReadCommand(*sim, buffer, wanted, moved);
  if (pipe != PST_PIPE_BULK) return PST_INVALID_PARAMETER;
  return ReadBulk(lock, *sim, buffer, wanted, moved, timeoutMs);
}

int StandIn::ReadCommand(SimDevice& sim, void* buffer, std::uint32_t wanted, std::uint32_t& moved) {
  if (wanted < kCommandHeaderSize) return PST_INVALID_PARAMETER;
  if (sim.commandReplies.empty()) return PST_READ_TIMEOUT;
  std::vector<std::uint8_t> reply = std::move(sim.commandReplies.front());
  sim.commandReplies.pop_front();
  std::uint32_t n = std::min<std::uint32_t>(static_cast<std::uint32_t>(reply.size()), wanted - kCommandHeaderSize);
  std::memcpy(static_cast<std::uint8_t*>(buffer) + kCommandHeaderSize, reply.data(), n);
  moved = kCommandHeaderSize + n;
  return PST_OK;
}

int StandIn::ReadBulk(std::unique_lock<std::mutex>& lock, SimDevice& sim, void* buffer, std::uint32_t wanted,
                      std::uint32_t& moved, std::uint32_t timeoutMs) {
  if (wanted == 0) return PST_OK;
  std::shared_ptr<DevicePeer> peer = sim.peer;
  if (!peer) return PST_READ_TIMEOUT;
  lock.unlock();  // the wait must not hold up other devices
  auto taken = peer->Take(static_cast<std::uint8_t*>(buffer), wanted, TimeoutOf(timeoutMs));
  moved = static_cast<std::uint32_t>(taken.count);
  if (taken.count == wanted) return PST_OK;
  if (taken.count > 0) return PST_READ_SHORT;
  return taken.ended ? PST_NO_DEVICE : PST_READ_TIMEOUT;
}

int StandIn::Write(std::uint16_t device, int handle, int pipe, const void* buffer, std::uint32_t length,
                   std::uint32_t& moved, std::uint32_t timeoutMs) {
  moved = 0;
  std::unique_lock lock(mutex_);
  SimDevice* sim = FindPlugged(device);
  if (!sim) return PST_NO_DEVICE;
  if (!OwnsHandle(device, *sim, handle)) return PST_NO_INTERFACE;
  if (!buffer && length > 0) return PST_INVALID_PARAMETER;
  if (pipe == PST_PIPE_COMMAND) {
    moved = length;
    return PST_OK;
  }
  if (pipe != PST_PIPE_BULK) return PST_INVALID_PARAMETER;
  return WriteBulk(lock, *sim, buffer, length, moved, timeoutMs);
}

int StandIn::WriteBulk(std::unique_lock<std::mutex>& lock, SimDevice& sim, const void* buffer,
                       std::uint32_t length, std::uint32_t& moved, std::uint32_t timeoutMs) {
  if (length == 0) return PST_OK;
  std::shared_ptr<DevicePeer> peer = sim.peer;
  if (!peer || peer->Ended()) return PST_PIPE_BROKEN;
  lock.unlock();
  auto sent = peer->Send(buffer, length, TimeoutOf(timeoutMs));
  moved = static_cast<std::uint32_t>(sent.count);
  switch (sent.status) {
    case platform::IoResult::Ok: return PST_OK;
    case platform::IoResult::Timeout: return PST_WRITE_TIMEOUT;
    default: return PST_PIPE_BROKEN;
  }
}

int StandIn::InterfaceHandleOf(std::uint16_t device, const char* name, int& handle) {
  std::lock_guard lock(mutex_);
  SimDevice* sim = FindPlugged(device);
  if (!sim) return PST_NO_DEVICE;
  const InterfaceEntry* entry = FindInterface(*sim, name);
  if (!entry) return PST_NO_INTERFACE;
  handle = InterfaceHandle(device, *entry);
  return PST_OK;
}

int StandIn::DeviceList(std::uint16_t* ids, int capacity, int& count) {
  std::lock_guard lock(mutex_);
  if (!ids && capacity > 0) return PST_INVALID_PARAMETER;
  count = 0;
  for (const auto& [id, sim] : devices_) {
    if (!sim.plugged) continue;
    if (count < capacity) ids[count] = id;
    ++count;
  }
  return PST_OK;
}

int StandIn::RegisterChangeWindow(std::uint32_t window) {
  std::lock_guard lock(mutex_);
  changeWindow_ = window;
  return PST_OK;
}

int StandIn::RegisterMonitorWindow(std::uint32_t window) {
  std::lock_guard lock(mutex_);
  monitorWindow_ = window;
  return PST_OK;
}

int StandIn::MaxBulkSize(int& size) {
  std::lock_guard lock(mutex_);
  size = maxBulkSize_;
  return PST_OK;
}

int StandIn::EndpointSize(std::uint16_t device, const char* name, bool out, std::int16_t& size) {
  std::lock_guard lock(mutex_);
  SimDevice* sim = FindPlugged(device);
  if (!sim) return PST_NO_DEVICE;
  if (name && !FindInterface(*sim, name)) return PST_NO_INTERFACE;
  size = out ? sim->outEpSize : sim->inEpSize;
  return PST_OK;
}

// ---- control ----

void StandIn::Reset() {
  std::lock_guard lock(mutex_);
  for (auto& [id, sim] : devices_) {
    if (sim.peer) sim.peer->Disconnect();
  }
  devices_.clear();
  changeWindow_ = monitorWindow_ = 0;
  maxBulkSize_ = kDefaultMaxBulkSize;
  initialized_ = false;
  forced_.Clear();
  log_.Clear();
}

int StandIn::Define(std::uint16_t device, unsigned interfaces, std::int16_t outEp, std::int16_t inEp) {
  if ((interfaces & kAllInterfaceBits) == 0 || (interfaces & ~kAllInterfaceBits) != 0) return -1;
  if (outEp < 1 || inEp < 1) return -1;
  std::lock_guard lock(mutex_);
  SimDevice& sim = devices_[device];
  sim.interfaces = interfaces;
  sim.outEpSize = outEp;
  sim.inEpSize = inEp;
  return 0;
}

int StandIn::Plug(std::uint16_t device) {
  std::lock_guard lock(mutex_);
  auto it = devices_.find(device);
  if (it == devices_.end()) return -1;
  PlugLocked(device, it->second);
  return 0;
}

int StandIn::Unplug(std::uint16_t device) {
  std::lock_guard lock(mutex_);
  auto it = devices_.find(device);
  if (it == devices_.end()) return -1;
  UnplugLocked(device, it->second);
  return 0;
}

bool StandIn::IsPlugged(std::uint16_t device) {
  std::lock_guard lock(mutex_);
  return FindPlugged(device) != nullptr;
}

void StandIn::SetMaxBulkSize(int size) {
  std::lock_guard lock(mutex_);
  maxBulkSize_ = size;
}

int StandIn::QueueCommandReply(std::uint16_t device, const void* data, std::uint32_t length) {
  if (!data && length > 0) return -1;
  std::lock_guard lock(mutex_);
  auto it = devices_.find(device);
  if (it == devices_.end()) return -1;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  it->second.commandReplies.emplace_back(bytes, bytes + length);
  return 0;
}

std::uint32_t StandIn::ChangeWindow() {
  std::lock_guard lock(mutex_);
  return changeWindow_;
}

std::uint32_t StandIn::MonitorWindow() {
  std::lock_guard lock(mutex_);
  return monitorWindow_;
}

std::string StandIn::SocketPath() { return listening_ ? dataPlane_.SocketPath() : std::string(); }

// ---- data plane ----

std::string StandIn::Attach(const AttachRequest& request, const std::shared_ptr<DevicePeer>& peer,
                            const std::function<void()>& accepted) {
  std::lock_guard lock(mutex_);
  SimDevice& sim = devices_[request.device];
  if (sim.peer && !sim.peer->Ended()) return "busy";
  // A device plugged without a process goes away before the process's one comes.
  UnplugLocked(request.device, sim);
  sim.interfaces = request.interfaces;
  sim.outEpSize = request.outEpSize;
  sim.inEpSize = request.inEpSize;
  sim.peer = peer;
  accepted();
  PlugLocked(request.device, sim);
  return {};
}

void StandIn::Detached(const std::shared_ptr<DevicePeer>& peer) {
  std::lock_guard lock(mutex_);
  for (auto& [id, sim] : devices_) {
    if (sim.peer == peer) {
      UnplugLocked(id, sim);
      return;
    }
  }
}

}  // namespace quor_pst
