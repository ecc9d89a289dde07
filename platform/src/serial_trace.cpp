#include "platform/serial_trace.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<SerialTrace*> installed{nullptr};

}  // namespace

void InstallSerialTrace(SerialTrace* trace) { installed.store(trace, std::memory_order_release); }

SerialTrace* InstalledSerialTrace() { return installed.load(std::memory_order_acquire); }

}  // namespace platform
