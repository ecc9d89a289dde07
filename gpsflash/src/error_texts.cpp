#include "error_texts.h"

#include <array>

#include "ambrel/ambrel.h"

namespace ambrel {
namespace {

struct ErrorText {
  int code;
  const char* text;
};

constexpr std::array<ErrorText, 31> kTexts = {{
    {AMBREL_BAD_PORT, "Port %s is not valid\n"},
    {AMBREL_BAD_RATE, "Baud rate %d is not valid\n"},
    {AMBREL_BAD_CHIP_SELECT, "Chip select %d is not valid\n"},
    {AMBREL_BAD_OFFSET, "Flash offset 0x%x is not valid\n"},
    {AMBREL_BAD_FILE_TYPE, "Input file type is not binary or Corvane S record\n"},
    {AMBREL_BAD_OPTION, "Invalid flashing option specified\n"},
    {AMBREL_IMAGE_TOO_HIGH, "Highest data address 0x%x above chip highest address 0x%x\n"},
    {AMBREL_NOT_LAST_ERROR, ""},
    {AMBREL_PORT_OPEN_FAILED, "Cannot open port %s\n"},
    {AMBREL_FILE_OPEN_FAILED, "Cannot open data file %s\n"},
    {AMBREL_FILE_READ_FAILED, "Error reading data file\n"},
    {AMBREL_PART_LIST_FAILED, "Error while processing chiplist file\n"},
    {AMBREL_BAD_BUS_WIDTH, "Target bus is %d; it should be 16\n"},
    {AMBREL_UNSUPPORTED_CHIP, "%s"},
    {AMBREL_NO_MEMORY, "Cannot allocate data buffer\n"},
    {AMBREL_FLASH_PROGRAMMING, "\nFlash programming error\n%s"},
    {AMBREL_TARGET_NOT_RESPONDING, "Target not responding\n"},
    {AMBREL_DETECT_DOWNLOAD, "Error downloading chip detection software\n"},
    {AMBREL_DRIVER_DOWNLOAD, "Error downloading flash device driver\n"},
    {AMBREL_BUS_WIDTH_QUERY, "Unable to get target external bus width info\n"},
    {AMBREL_SET_LOCATION, "Error sending flash location info\n"},
    {AMBREL_FLASH_IDS, "Unable to get flash type info\n"},
    {AMBREL_SET_TARGET_PARAMS, "Cannot set target parameters\n"},
    {AMBREL_TIMING, "Cannot obtain timing info\n"},
    {AMBREL_HARROW_RATE, "Unable to set Harrow baud rate\n"},
    {AMBREL_FLASH_READING, "\nFlash reading error\n"},
    {AMBREL_NULL_POINTER, "Pointer argument is NULL\n"},
    {AMBREL_VERSION_TOO_LONG, "Software version string is too long\n"},
    {AMBREL_VERSION_MISSING, "Software version string is missing\n"},
    {AMBREL_NOT_INITIALIZED, "Ambrel not initialized\n"},
    {AMBREL_ALREADY_INITIALIZED, "Ambrel already initialized\n"},
}};

}  // namespace

const char* AmbrelErrorTemplate(int code) {
  for (const ErrorText& entry : kTexts) {
    if (entry.code == code) return entry.text;
  }
  return "";
}

}  // namespace ambrel
