#pragma once
// The ranges in which the configuration reader keeps its numbered options: a
// value read outside its option's range leaves the option as it was. Each
// range comes from the table the option indexes.

#include "engine/core/device_number.h"
#include "engine/core/job_option_ids.h"

struct ConfigRange {
  int low;
  int high;

  constexpr bool Holds(int value) const { return value >= low && value <= high; }
};

// 0 RS232, 1 USB.
inline constexpr ConfigRange kCommProtocolRange{0, 1};
// Every serial port a device number names: COM1 (0) .. COM19 (18).
inline constexpr ConfigRange kSerialPortRange{0, DEVICE_LAST_COM - DEVICE_FIRST_COM};
// Indexes into the data-rate and divisor tables.
inline constexpr ConfigRange kDataRateRange{0, static_cast<int>(kDataRateTable.size()) - 1};
inline constexpr ConfigRange kDataRateDivisorRange{0, static_cast<int>(kDivisorTable.size()) - 1};
// Every port a TCP server can listen on.
inline constexpr ConfigRange kRemotePortRange{1, 65535};
