#pragma once
// The option ids of CJobOptions (GetIntParam / SetIntParam / GetStringParam
// / SetStringParam) with their configuration keys, and the fixed tables
// behind the data-rate and divisor indices.

#include <array>
#include <cstdint>

enum JobOptionId : int {
  OPTION_COMM_PROTOCOL = 0,                // comm_protocol; interpreted by the device object
  OPTION_SERIAL_PORT = 1,                  // serial_port; port n is COMn+1
  OPTION_SERIAL_DEVICE_PATH = 2,           // string, read only: "\\.\COMn"
  OPTION_DATA_RATE = 3,                    // data_rate; index into the data-rate table
  OPTION_BAUD_RATE = 4,                    // set through id 3, or directly
  OPTION_REMOTE_PORT = 5,                  // remote_port; TCP port of the remote-control server
  OPTION_DATA_RATE_DIVISOR = 6,            // data_rate_divisor; index into the divisor table
  OPTION_DIVISOR_VALUE = 7,                // read only: the divisor of index id 6
  OPTION_OVERRIDE_CHECKSUM = 8,            // override_cksum
  OPTION_AUTO_ERASE_FLASH = 9,             // auto_erase_flash
  OPTION_AUTO_PROGRAM_MAGIC_KEY = 10,      // auto_program_magic_key
  OPTION_ENABLE_REMOTE_CONTROL = 11,       // enable_remote_control
  OPTION_PRODUCT_FILE = 12,                // string: flash_product_file
  OPTION_PRODUCT_TAG = 13,                 // string: flash_product_tag
  OPTION_SERVER = 14,                      // string: quillon_server
  OPTION_ORVIX_ENABLE_CHIP_SELECTION = 15, // orvix_enable_chip_selection
  OPTION_ORVIX_CHIP_SELECT = 16,           // orvix_chip_select
  OPTION_ORVIX_CHIP_OFFSET = 17,           // orvix_chip_offset
  OPTION_ORVIX_PROGRAMMING_OPTION = 18,    // orvix_programming_option
  OPTION_ALWAYS_ON_TOP = 19,               // always_on_top
  OPTION_ENABLE_SMART_FLASHING = 20,       // enable_smart_flashing
  OPTION_PRODUCT_FILTER = 21,              // product_filter
};

inline constexpr int kJobOptionIdCount = 22;

// Data-rate index to baud rate.
inline constexpr std::array<std::uint32_t, 3> kDataRateTable{115200, 230400, 460800};
// Divisor index to divisor.
inline constexpr std::array<int, 3> kDivisorTable{1, 2, 4};
// An index outside a table keeps the default index.
inline constexpr int kDefaultDataRateIndex = 0;
inline constexpr int kDefaultDivisorIndex = 0;

// The chip families that ChipFamilyFromName gives; the family selects the
// flashing kernel.
inline constexpr int CHIP_FAMILY_UNKNOWN = 0;
inline constexpr int CHIP_FAMILY_HARROW = 1;
inline constexpr int CHIP_FAMILY_BISEL = 2;
inline constexpr int CHIP_FAMILY_CALDER = 3;
