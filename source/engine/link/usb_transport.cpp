#include "engine/link/usb_transport.h"

#include <array>
#include <utility>

#include "pellwick/pellwick.h"

namespace {

struct UsbErrorMapping {
  int result;
  ISP_EXCEPTION exception;
};

constexpr std::array<UsbErrorMapping, 12> kUsbErrors{{
    {PWL_RC_FAILURE, ISP_USB_FAILED},
    {PWL_RC_BAD_APP_INDEX, ISP_USB_INVALID_ID},
    {PWL_RC_DEVICE_ABSENT, ISP_USB_INVALID_ID},
    {PWL_RC_APP_NOT_REGISTERED, ISP_USB_NO_CSR_SPACE},
    {PWL_RC_NO_DEVICE, ISP_USB_RADIO_NOT_DETECTED},
    {PWL_RC_READ_TIMEOUT, ISP_USB_READ_TIMEOUT},
    {PWL_RC_WRITE_TIMEOUT, ISP_USB_WRITE_TIMEOUT},
    {PWL_RC_NO_INTERFACE_HANDLE, ISP_USB_INVALID_INTERFACE},
    {PWL_RC_NOT_BOUND, ISP_USB_NOT_INITIALIZED},
    {PWL_RC_NOT_OPENED, ISP_USB_INTERFACE_NOT_AVAILABLE},
    {PWL_RC_READ_SHORT, ISP_READ_COUNT_MISMATCH},
    {PWL_RC_DEVICE_BUSY, ISP_USB_DEVICE_BUSY},
}};

}  // namespace

ISP_EXCEPTION CUsbTransport::UsbErrorToException(int result) {
  for (const auto& m : kUsbErrors) {
    if (m.result == result) return m.exception;
  }
  return ISP_USB_UNKNOWN_ERROR;
}

void CUsbTransport::ThrowUsbError(int result) { throw UsbErrorToException(result); }

CUsbTransport::CUsbTransport(std::uint16_t deviceId, std::string interfaceName)
    : deviceId_(deviceId), interfaceName_(std::move(interfaceName)) {
  std::int16_t app = 0;
  int rc = PWLRegisterApp(&app);
  if (rc != PWL_RC_SUCCESS) ThrowUsbError(rc);
  application_ = static_cast<std::uint16_t>(app);
  rc = PWLSelectDevice(application_, deviceId_);
  if (rc != PWL_RC_SUCCESS) {
    PWLDeregisterApp(application_);
    ThrowUsbError(rc);
  }
  rc = PWLQueryDevInterface(application_, deviceId_, interfaceName_.c_str());
  if (rc != PWL_RC_SUCCESS) {
    PWLDeselectDevice(application_);
    PWLDeregisterApp(application_);
    ThrowUsbError(rc);
  }
}

CUsbTransport::~CUsbTransport() {
  PWLDeselectDevice(application_);
  PWLDeregisterApp(application_);
}

std::size_t CUsbTransport::Read(std::uint8_t* buffer, std::size_t length, std::uint32_t timeoutMs) {
  int moved = static_cast<int>(length);
  const int rc = PWLReadDataEx(application_, interfaceName_.c_str(), deviceId_, buffer, &moved, timeoutMs);
  if (rc != PWL_RC_SUCCESS) ThrowUsbError(rc);
  if (moved < 0) return 0;
  return std::min(static_cast<std::size_t>(moved), length);
}

void CUsbTransport::Write(const std::uint8_t* buffer, std::size_t length) {
  std::uint32_t moved = static_cast<std::uint32_t>(length);
  const int rc = PWLWriteDataEx(application_, interfaceName_.c_str(), deviceId_, buffer, &moved, kWriteTimeoutMs);
  if (rc != PWL_RC_SUCCESS) ThrowUsbError(rc);
  if (moved != length) throw ISP_WRITE_COUNT_MISMATCH;
}
