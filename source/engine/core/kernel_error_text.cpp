#include "engine/core/kernel_error_text.h"

#include <array>
#include <cstdio>

#include "engine/core/error_record.h"

namespace {

// Which values of the record a text takes.
enum class TextValues {
  None,
  Device,         // "%d": the device number
  Address,        // the failing address
  StatusRegister,
  Sector,
  FlashIds,       // manufacturer id and three device ids
};

struct ErrorText {
  std::int32_t code;
  const char* text;
  TextValues values;
};

using V = TextValues;

constexpr std::array kErrorTexts{
    ErrorText{1, "Unknown CKernel error!", V::None},
    ErrorText{2, "Ralix Error - See log file for output", V::None},
    ErrorText{3, "The CKernel object is busy for device ID %d", V::Device},
    ErrorText{5, "The flashing kernel has not been specified", V::None},
    ErrorText{6, "The protocol has not been specified", V::None},
    ErrorText{7, "The kernel type specified is invalid", V::None},
    ErrorText{8, "The protocol specified is invalid", V::None},
    ErrorText{9, "The CK Callback specified is invalid", V::None},
    ErrorText{10, "The CK Callback has not been set", V::None},
    ErrorText{11, "Unsupported baud rate", V::None},
    ErrorText{12, "The specified operating mode is invalid", V::None},
    ErrorText{13, "Unable to get kernel error details", V::None},
    ErrorText{14, "Smart flash enabled failed", V::None},
    ErrorText{15, "Smart flash disable failed", V::None},
    ErrorText{16, "Unable to get the kernel free buffer space", V::None},
    ErrorText{17, "Read data decompression failed", V::None},
    ErrorText{18, "Kernel not responding, bootload failed", V::None},
    ErrorText{19, "RS232 capable phone not detected", V::None},
    ErrorText{20, "RS232 capable phone not detected", V::None},
    ErrorText{21, "Unsupported function group", V::None},
    ErrorText{22, "Unsupported opcode", V::None},
    ErrorText{23, "Insufficient memory for this operation", V::None},
    ErrorText{24, "Error setting up EFP", V::None},
    ErrorText{25, "Flash device not supported: ManID 0x%.4X, DevID 0x%.4X, 0x%.4X, 0x%.4X", V::FlashIds},
    ErrorText{26, "Verification failed while programming address 0x%.8X", V::Address},
    ErrorText{27, "Verification failed while programming address 0x%.8X", V::Address},
    ErrorText{28, "Device protect error while programming address 0x%.8X", V::Address},
    ErrorText{29, "Write flash failed while programming address 0x%.8X", V::Address},
    ErrorText{30, "Write flash failed while programming address 0x%.8X", V::Address},
    ErrorText{31, "Vpp Range Error, Status register read 0x%.2X", V::StatusRegister},
    ErrorText{32, "Device protect error while erasing sector %d", V::Sector},
    ErrorText{33, "An invalid comand sequence was sent to the kernel", V::None},
    ErrorText{34, "Erase failed on sector %d", V::Sector},
    ErrorText{35, "Sector %d does not exist", V::Sector},
    ErrorText{36, "Locked register program aborted, Status register read 0x%.2X", V::StatusRegister},
    ErrorText{37, "Invalid address : 0x%.8X is not on a sector boundary", V::Address},
    ErrorText{38, "Read flash error at address 0x%.8X", V::Address},
    ErrorText{39, "ARM Bootload failed", V::None},
    ErrorText{40, "Unable to set the UARTB data rate", V::None},
    ErrorText{41, "Program Magic Key failed", V::None},
    ErrorText{42, "Read request alignment error", V::None},
    ErrorText{43, "Memory alignment not supported", V::None},
    ErrorText{44, "Unsupported UART", V::None},
    ErrorText{45, "Unsupported BAUD rate", V::None},
    ErrorText{46, "Serial bus reply timeout", V::None},
    ErrorText{47, "NAK detected", V::None},
    ErrorText{48, "Error opening serial port", V::None},
    ErrorText{49, "Error closing serial port", V::None},
    ErrorText{50, "Error getting communications state", V::None},
    ErrorText{51, "Error setting communications state", V::None},
    ErrorText{52, "Error setting communications timeouts", V::None},
    ErrorText{53, "Error reading serial port", V::None},
    ErrorText{54, "Error writing serial port", V::None},
    ErrorText{55, "Error reading serial port status", V::None},
    ErrorText{56, "Byte count mismatch on read operation", V::None},
    ErrorText{57, "Byte count mismatch on write operation", V::None},
    ErrorText{58, "Error clearing serial bus receive buffer", V::None},
    ErrorText{59, "Error clearing serial bus transmit buffer", V::None},
    ErrorText{60, "Message type not supported", V::None},
    ErrorText{61, "Timeout waiting for ACK/NAK from target device", V::None},
    ErrorText{62, "Bad checksum received from target device", V::None},
    ErrorText{63, "Harrow not detected, bootload failed", V::None},
    ErrorText{64, "USB capable radio not detected", V::None},
    ErrorText{65, "USB operation failed", V::None},
    ErrorText{66, "USB operation failed. Invalid ID", V::None},
    ErrorText{67, "USB operation failed. No free space to allocate for CSR", V::None},
    ErrorText{68, "USB operation failed. Invalid interface", V::None},
    ErrorText{69, "USB not initialized", V::None},
    ErrorText{70, "USB operation failed. Device Busy", V::None},
    ErrorText{71, "USB operation failed. Interface not available", V::None},
    ErrorText{72, "USB read operation timeout", V::None},
    ErrorText{73, "USB write operation timeout", V::None},
    ErrorText{74, "Unknown USB error", V::None},
    ErrorText{78, "Orvix failure", V::None},
    ErrorText{79, "Flashpacks have not been extracted", V::None},
    ErrorText{80, "Insufficient flash space to add pack", V::None},
    ErrorText{81, "Invalid flashpack index", V::None},
    ErrorText{82, "Unknown flashpack signature", V::None},
    ErrorText{83, "Not enough RAM allocated for flashpack", V::None},
    ErrorText{84, "Flashpack version mismatch", V::None},
    ErrorText{85, "Flashpack header version mismatch", V::None},
    ErrorText{86, "Invalid flashpack checksum", V::None},
    ErrorText{87, "Matching flashpack exists", V::None},
    ErrorText{88, "Unable to open flashpack file", V::None},
    ErrorText{89, "No allocation for FLASHPACK in .qlp file", V::None},
    ErrorText{90,
              "For this product, ThemePacks cannot be added with the FlashPack Manager. Please close "
              "FlashPack Manager and drag/drop the files onto the main Quillon window instead",
              V::None},
    ErrorText{91, "Address 0x%X out of range for the selected product", V::Address},
    ErrorText{200, "File mode not supported", V::None},
    ErrorText{201, "Error creating file", V::None},
    ErrorText{202, "Error opening file", V::None},
    ErrorText{203, "Error closing file", V::None},
    ErrorText{204, "Error reading file", V::None},
    ErrorText{205, "Error writing file", V::None},
    ErrorText{206, "End of file encountered", V::None},
    ErrorText{207, "Illegal character found", V::None},
    ErrorText{208, "Illegal record type found", V::None},
    ErrorText{209, "Header record missing", V::None},
    ErrorText{210, "Record type not supported", V::None},
    ErrorText{211, "Invalid checksum detected", V::None},
    ErrorText{212, "Read state machine error", V::None},
    ErrorText{213, "Write state machine error", V::None},
    ErrorText{214, "Insufficient buffer size", V::None},
};

const ErrorText* FindErrorText(std::int32_t code) {
  for (const auto& entry : kErrorTexts) {
    if (entry.code == code) return &entry;
  }
  return nullptr;
}

// Every format of the table takes at most four unsigned values or one int.
template <class... Args>
std::string Format(const char* format, Args... args) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

}  // namespace

std::string GetErrorReason(const ErrorRecord* record) {
  std::string reason = GetKernelErrorText(record);
  if (record != nullptr && !record->details.cause.empty()) reason += ": " + record->details.cause;
  return reason;
}

std::string GetKernelErrorText(const ErrorRecord* record) {
  if (record == nullptr) return {};
  const ErrorText* entry = FindErrorText(record->errorCode);
  if (entry == nullptr) return Format("Undefined Error Code : %d", record->errorCode);
  const ErrorDetails& d = record->details;
  switch (entry->values) {
    case V::None: return entry->text;
    case V::Device: return Format(entry->text, record->device);
    case V::Address: return Format(entry->text, static_cast<unsigned>(d.address));
    case V::StatusRegister: return Format(entry->text, static_cast<unsigned>(d.statusRegister));
    case V::Sector: return Format(entry->text, static_cast<int>(d.sector));
    case V::FlashIds:
      return Format(entry->text, static_cast<unsigned>(d.manufacturerId), static_cast<unsigned>(d.deviceId),
                    static_cast<unsigned>(d.deviceId2), static_cast<unsigned>(d.deviceId3));
  }
  return entry->text;
}
