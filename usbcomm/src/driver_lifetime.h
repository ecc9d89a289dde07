#pragma once
// Loading and unloading the driver library with the message thread, with
// the library's lock held.

#include <memory>

#include "library_state.h"

namespace pellwick {

// What an unload hands back, to be destroyed after the lock is released:
// the message thread is stopped and the driver library freed then.
struct UnloadedDriver {
  std::unique_ptr<CPWLMsgThread> thread;
  std::unique_ptr<platform::DynamicLibrary> library;
  UnloadedDriver() = default;
  UnloadedDriver(UnloadedDriver&&) = default;
  UnloadedDriver& operator=(UnloadedDriver&&) = default;
  ~UnloadedDriver();
};

// Loads and binds the driver library, reads the maximum bulk size and starts
// the message thread, unless the library is loaded already. A library that
// fails after loading is unbound and handed to `failed`, so that no
// half-bound library stays loaded.
int LoadDriver(StateLock& lock, UnloadedDriver& failed);
// Waits for the transfers in the driver to end, then unregisters and
// unbinds the driver; the thread and library go with the result.
UnloadedDriver UnloadDriver(StateLock& lock, bool unregisterUsbMonitor);

}  // namespace pellwick
