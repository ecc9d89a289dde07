// Data transfer exports: bulk reads and writes, command transfers.
// The lock is held while the transfer's context is taken from the state and
// released while the driver moves the bytes.

#include "bulk_transfer.h"
#include "library_state.h"
#include "pellwick/pellwick.h"

namespace pellwick {

namespace {

enum class HandleSource { AppSlot, AppSlotChecked, DeviceTable };

struct Prepared {
  int rc = PWL_RC_SUCCESS;
  TransferContext context;
};

// The context of a transfer for an application slot (app below 0: none),
// with the checks every transfer makes, in their order.
Prepared Prepare(int app, int device, HandleSource source, bool write) {
  LibraryState& s = State();
  Prepared p;
  if (device < 0 || !DeviceTable::ValidId(static_cast<unsigned>(device))) {
    p.rc = PWL_RC_BAD_DEVICE_ID;
    return p;
  }
  TransferContext& t = p.context;
  t.device = static_cast<std::uint16_t>(device);
  if (source == HandleSource::DeviceTable) {
    t.handle = s.devices.HandleOf(t.device);
  } else {
    t.handle = s.apps[static_cast<unsigned>(app)].interfaceHandle;
  }
  if (source != HandleSource::AppSlot && t.handle <= 0) {
    p.rc = PWL_RC_NOT_OPENED;
    return p;
  }
  t.read = s.Pst().readData;
  t.write = s.Pst().writeData;
  if (s.unloading || (write && !t.write) || (!write && !t.read)) {
    p.rc = PWL_RC_NOT_BOUND;
    return p;
  }
  if (app >= 0) {
    const PWL_APP_RECORD& slot = s.apps[static_cast<unsigned>(app)];
    t.protocol = slot.protocol;
    t.writeEpSize = slot.writeEpSize;
    t.readEpSize = slot.readEpSize;
  }
  t.maxBulkSize = s.maxBulkSize;
  return p;
}

// Runs the transfer with the lock released and the driver kept loaded.
template <class Body>
int Run(StateLock& lock, const Prepared& p, Body body) {
  if (p.rc != PWL_RC_SUCCESS) return p.rc;
  TransferMark mark(lock);
  try {
    return body(p.context);
  } catch (...) {
    return PWL_RC_TRANSFER_FAILED;
  }
}

int SlotDevice(unsigned app) { return State().apps[app].deviceId; }

}  // namespace

}  // namespace pellwick

using namespace pellwick;

extern "C" {

int PWLReadData(uint16_t app, void* buffer, int* length, uint32_t timeoutMs) {
  auto lock = LockState();
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  if (!length) return PWL_RC_TRANSFER_FAILED;
  Prepared p = Prepare(app, SlotDevice(app), HandleSource::AppSlot, false);
  return Run(lock, p, [&](const TransferContext& t) { return BulkRead(t, buffer, length, timeoutMs); });
}

int PWLReadDataEx(uint16_t app, const char* interfaceName, uint16_t device, void* buffer, int* length,
                  uint32_t timeoutMs) {
  (void)interfaceName;
  auto lock = LockState();
  if (!DeviceTable::ValidId(device)) return PWL_RC_BAD_DEVICE_ID;
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  if (!length) return PWL_RC_TRANSFER_FAILED;
  Prepared p = Prepare(app, device, HandleSource::DeviceTable, false);
  return Run(lock, p, [&](const TransferContext& t) { return BulkRead(t, buffer, length, timeoutMs); });
}

int PWLWriteData(uint16_t app, const void* buffer, uint32_t* length, uint32_t timeoutMs) {
  auto lock = LockState();
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  if (!length) return PWL_RC_TRANSFER_FAILED;
  Prepared p = Prepare(app, SlotDevice(app), HandleSource::AppSlot, true);
  return Run(lock, p, [&](const TransferContext& t) { return BulkWrite(t, buffer, length, timeoutMs); });
}

int PWLWriteDataEx(uint16_t app, const char* interfaceName, uint16_t device, const void* buffer,
                   uint32_t* length, uint32_t timeoutMs) {
  (void)interfaceName;
  auto lock = LockState();
  if (!DeviceTable::ValidId(device)) return PWL_RC_BAD_DEVICE_ID;
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  if (!length) return PWL_RC_TRANSFER_FAILED;
  Prepared p = Prepare(app, device, HandleSource::DeviceTable, true);
  return Run(lock, p, [&](const TransferContext& t) { return BulkWrite(t, buffer, length, timeoutMs); });
}

int PWLReadQ9TCommand(uint16_t app, const void* header, void* destination, uint32_t* length, uint32_t timeoutMs) {
  auto lock = LockState();
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  if (!length) return PWL_RC_FAILURE;
  Prepared p = Prepare(app, SlotDevice(app), HandleSource::AppSlotChecked, false);
  int rc = Run(lock, p, [&](const TransferContext& t) {
    return CommandRead(t, header, destination, length, timeoutMs);
  });
  return rc == PWL_RC_TRANSFER_FAILED ? PWL_RC_FAILURE : rc;
}

int PWLReadQ9TCommandEx(uint16_t app, uint16_t device, const void* header, void* destination, uint32_t* length,
                        uint32_t timeoutMs) {
  (void)app;
  auto lock = LockState();
  if (!length) return PWL_RC_FAILURE;
  Prepared p = Prepare(-1, device, HandleSource::DeviceTable, false);
  int rc = Run(lock, p, [&](const TransferContext& t) {
    return CommandRead(t, header, destination, length, timeoutMs);
  });
  return rc == PWL_RC_TRANSFER_FAILED ? PWL_RC_FAILURE : rc;
}

int PWLWriteQ9TCommand(uint16_t app, const void* buffer, uint32_t* length, uint32_t timeoutMs) {
  auto lock = LockState();
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  if (!length) return PWL_RC_TRANSFER_FAILED;
  Prepared p = Prepare(app, SlotDevice(app), HandleSource::AppSlotChecked, true);
  return Run(lock, p, [&](const TransferContext& t) { return CommandWrite(t, buffer, length, timeoutMs); });
}

int PWLWriteQ9TCommandEx(uint16_t app, uint16_t device, const void* buffer, uint32_t* length, uint32_t timeoutMs) {
  (void)app;
  auto lock = LockState();
  if (!length) return PWL_RC_TRANSFER_FAILED;
  Prepared p = Prepare(-1, device, HandleSource::DeviceTable, true);
  return Run(lock, p, [&](const TransferContext& t) { return CommandWrite(t, buffer, length, timeoutMs); });
}

}  // extern "C"
