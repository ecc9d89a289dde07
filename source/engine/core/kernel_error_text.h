#pragma once
// The engine error codes and their texts.
//
// Device operations return the engine error codes of KernelErrorCode.

#include <cstdint>
#include <string>

#include "engine/core/kernel_error_code.h"

struct ErrorRecord;

// The text of the record's engine error code, with the values that the text
// takes from the record (device number, failing address, status register,
// sector, flash ids). A code without a text prints "Undefined Error Code :
// %d" with the code; a null record gives an empty text.
std::string GetKernelErrorText(const ErrorRecord* record);

// The reason a user acts on: the code's text, followed by the failure's
// cause when the record names one ("Error opening file: fw.s19").
std::string GetErrorReason(const ErrorRecord* record);
