#include "transfer_status.h"

#include <libusb.h>

#include "quor_pst/quor_pst.h"

namespace usb_driver {

int BulkReadStatus(int result, std::uint32_t wanted, std::uint32_t moved) {
  // The device sent more than was asked for: bytes were lost, whatever arrived.
  if (result == LIBUSB_ERROR_OVERFLOW) return PST_PIPE_BROKEN;
  if (moved >= wanted) return PST_OK;
  if (moved > 0) return PST_READ_SHORT;
  switch (result) {
    case LIBUSB_SUCCESS:
    case LIBUSB_ERROR_TIMEOUT: return PST_READ_TIMEOUT;
    case LIBUSB_ERROR_NO_DEVICE: return PST_NO_DEVICE;
    default: return PST_PIPE_BROKEN;
  }
}

int BulkWriteStatus(int result) {
  switch (result) {
    case LIBUSB_SUCCESS: return PST_OK;
    case LIBUSB_ERROR_TIMEOUT: return PST_WRITE_TIMEOUT;
    default: return PST_PIPE_BROKEN;
  }
}

int CommandReadStatus(int result) {
  switch (result) {
    case LIBUSB_SUCCESS: return PST_OK;
    case LIBUSB_ERROR_TIMEOUT: return PST_READ_TIMEOUT;
    case LIBUSB_ERROR_NO_DEVICE: return PST_NO_DEVICE;
    default: return PST_PIPE_BROKEN;
  }
}

int CommandWriteStatus(int result) { return BulkWriteStatus(result); }

const char* LibusbResultName(int result) { return libusb_error_name(result); }

}  // namespace usb_driver
