#pragma once
// All of the library's process-wide state, behind one lock. The lock is
// released while a transfer or an arrival wait runs; the driver library is
// never unloaded while a transfer is in it.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "app_slots.h"
#include "device_table.h"
#include "msg_thread.h"
#include "pst_driver.h"

namespace pellwick {

struct LibraryState {
  LibraryState();

  std::mutex mutex;
  std::condition_variable changed;  // transfers ending, devices arriving

  AppSlots apps;
  DeviceTable devices;
  std::vector<std::uint16_t> deviceIdList;  // as the driver's device list gave it

  PstDriver driver;
  std::uint32_t maxBulkSize = 0;
  bool driverInitialized = false;
  // The arrival signal: it exists from PWLInitPST to PWLTerminatePST; every
  // arrival of a flash or boot interface moves the generation on.
  bool arrivalSignalExists = false;
  std::uint64_t arrivalGeneration = 0;
  std::unique_ptr<CPWLMsgThread> msgThread;
  int osClass = 0;
  int activeTransfers = 0;
  // Set while the driver is being unloaded: no new transfer starts.
  bool unloading = false;

  const PstFunctions& Pst() const { return driver.Functions(); }
};

LibraryState& State();

// Holds the lock for an export.
using StateLock = std::unique_lock<std::mutex>;
inline StateLock LockState() { return StateLock(State().mutex); }

// Marks a transfer in the driver while the lock is released; the driver
// library is not unloaded until every mark is gone.
class TransferMark {
 public:
  explicit TransferMark(StateLock& lock);
  ~TransferMark();
  TransferMark(const TransferMark&) = delete;
  TransferMark& operator=(const TransferMark&) = delete;

 private:
  StateLock& lock_;
};

}  // namespace pellwick
