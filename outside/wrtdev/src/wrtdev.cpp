#include "wrtdev/wrtdev.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/parallel_port.h"

namespace {

struct Record {
  std::int32_t op;
  std::int32_t argument;
  std::int32_t data;
};
static_assert(sizeof(Record) == 12);

struct Device {
  int number = 0;
  std::unique_ptr<platform::ParallelPort> port;  // null with the fake backend
};

struct FakeBackend {
  bool enabled = false;
  std::uint32_t present = 0xF;
  std::uint8_t input = 0;
  std::deque<std::uint8_t> queued;
  std::uint8_t clearStatus = 0;
  std::vector<int> outputs;
  int controlCalls = 0;
};

std::mutex gLock;
std::map<int, Device> gDevices;
int gNextHandle = 1;
FakeBackend gFake;

bool FakeOn() {
  if (gFake.enabled) return true;
  const char* v = std::getenv("QUILLON_WRTDEV_FAKE");
  return v && std::strcmp(v, "1") == 0;
}

int DeviceNumber(const char* name) {
  if (!name) return -1;
  std::string text(name);
  const std::string prefixes[] = {"\\\\.\\WRTdev", "WRTdev"};
  for (const auto& prefix : prefixes) {
    if (text.size() == prefix.size() + 1 && text.compare(0, prefix.size(), prefix) == 0) {
      const char digit = text.back();
      if (digit >= '0' && digit <= '3') return digit - '0';
    }
  }
  return -1;
}

std::uint8_t FakeRead() {
  if (gFake.queued.empty()) return gFake.input;
  const std::uint8_t v = gFake.queued.front();
  gFake.queued.pop_front();
  return v;
}

bool Execute(Device& device, Record& r) {
  switch (r.op) {
    case 4:
      if (!device.port) {
        gFake.outputs.push_back((device.number << 8) | (r.data & 0xFF));
        return true;
      }
      return device.port->WriteData(static_cast<std::uint8_t>(r.data));
    case 1:
    case 42: {
      std::uint8_t value = 0;
      if (!device.port) {
        value = r.op == 1 ? FakeRead() : gFake.clearStatus;
      } else if (!device.port->ReadStatus(value)) {
        return false;
      }
      r.data = value;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

extern "C" {

int WrtOpenDevice(const char* name) {
  const int number = DeviceNumber(name);
  if (number < 0) return WRTDEV_INVALID_HANDLE;
  std::lock_guard lock(gLock);
  Device device;
  device.number = number;
  if (FakeOn()) {
    if (!(gFake.present & (1u << number))) return WRTDEV_INVALID_HANDLE;
  } else {
    device.port = std::make_unique<platform::ParallelPort>();
    if (!device.port->Open(number)) return WRTDEV_INVALID_HANDLE;
  }
  const int handle = gNextHandle++;
  gDevices.emplace(handle, std::move(device));
  return handle;
}

int WrtDeviceIoControl(int handle, uint32_t code, void* buffer, uint32_t bytes, uint32_t* returned) {
  if (returned) *returned = 0;
  if (code != WRTDEV_IOCTL_BATCH || !buffer || bytes % sizeof(Record) != 0) return 0;
  std::lock_guard lock(gLock);
  auto it = gDevices.find(handle);
  if (it == gDevices.end()) return 0;
  if (!it->second.port) ++gFake.controlCalls;
  auto* records = static_cast<Record*>(buffer);
  for (std::size_t i = 0; i < bytes / sizeof(Record); ++i) {
    if (!Execute(it->second, records[i])) return 0;
  }
  if (returned) *returned = bytes;
  return 1;
}

int WrtCloseDevice(int handle) {
  std::lock_guard lock(gLock);
  return gDevices.erase(handle) == 1 ? 1 : 0;
}

void WrtFake_Enable(int on) {
  std::lock_guard lock(gLock);
  gFake.enabled = on != 0;
}

void WrtFake_Reset() {
  std::lock_guard lock(gLock);
  const bool enabled = gFake.enabled;
  gFake = FakeBackend{};
  gFake.enabled = enabled;
}

void WrtFake_SetPresent(uint32_t mask) {
  std::lock_guard lock(gLock);
  gFake.present = mask;
}

void WrtFake_SetInput(uint8_t input) {
  std::lock_guard lock(gLock);
  gFake.input = input;
}

void WrtFake_QueueInput(uint8_t input) {
  std::lock_guard lock(gLock);
  gFake.queued.push_back(input);
}

void WrtFake_SetClearStatus(uint8_t status) {
  std::lock_guard lock(gLock);
  gFake.clearStatus = status;
}

int WrtFake_OutputCount(void) {
  std::lock_guard lock(gLock);
  return static_cast<int>(gFake.outputs.size());
}

int WrtFake_Output(int index) {
  std::lock_guard lock(gLock);
  if (index < 0 || index >= static_cast<int>(gFake.outputs.size())) return -1;
  return gFake.outputs[static_cast<std::size_t>(index)];
}

int WrtFake_ControlCalls(void) {
  std::lock_guard lock(gLock);
  return gFake.controlCalls;
}

int WrtFake_OpenDevices(void) {
  std::lock_guard lock(gLock);
  return static_cast<int>(gDevices.size());
}

}  // extern "C"
