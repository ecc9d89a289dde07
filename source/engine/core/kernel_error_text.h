#pragma once
// The engine error codes and their texts.
//
// Device operations return engine error codes: 0 success, 3 busy, 4
// cancelled, 12 invalid operating mode, 21 to 45 from the kernel's status
// word, 46 to 74 from the link layer, 75 to 91 from the RAM dump, GPS-chip
// and flashpack operations, and 200 to 214 the S-record codec's own codes.

#include <cstdint>
#include <string>

struct ErrorRecord;

enum KernelErrorCode : std::int32_t {
  KERNEL_OK = 0,
  KERNEL_ERROR_UNKNOWN = 1,
  KERNEL_ERROR_RALIX = 2,
  KERNEL_ERROR_BUSY = 3,
  KERNEL_ERROR_CANCELLED = 4,
  KERNEL_ERROR_INVALID_OPERATING_MODE = 12,
  KERNEL_ERROR_NO_ERROR_DETAILS = 13,
  KERNEL_STATUS_FIRST = 21,
  KERNEL_STATUS_LAST = 45,
  LINK_ERROR_FIRST = 46,
  LINK_ERROR_LAST = 74,
  SRECORD_ERROR_FIRST = 200,
  SRECORD_ERROR_LAST = 214,
};

// The text of the record's engine error code, with the values that the text
// takes from the record (device number, failing address, status register,
// sector, flash ids). A code without a text prints "Undefined Error Code :
// %d" with the code; a null record gives an empty text.
std::string GetKernelErrorText(const ErrorRecord* record);

// The reason a user acts on: the code's text, followed by the failure's
// cause when the record names one ("Error opening file: fw.s19").
std::string GetErrorReason(const ErrorRecord* record);
