// The thirteen exported functions of the library.

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "ambrel/ambrel.h"
#include "error_texts.h"
#include "image_file.h"
#include "session.h"
#include "target_programs.h"

namespace ambrel {

Session& TheSession() {
  static Session session;
  return session;
}

namespace {

constexpr const char* kVersion = "1.21";
constexpr std::uint32_t kRomRate = 38400;
constexpr std::uint32_t kFlashWindow = 0x40000000;
constexpr std::uint32_t kChipSelectStride = 0x01000000;
constexpr std::uint32_t kOffsetAlignment = 0x10000;
constexpr std::uint8_t kBusWidth = 16;
constexpr int kMaxPort = 32;
constexpr int kMaxChipSelect = 7;
constexpr std::uint32_t kVersionPointerAt = 20;
constexpr std::uint32_t kLowestVersionPointer = 31;
constexpr double kLeastHuffmanGain = 0.01;

std::string Printf(const char* format, va_list args) {
  char text[2048];
  std::vsnprintf(text, sizeof text, format, args);
  return text;
}

// Keeps the code and its text, ends the session's talk with the chip when
// the port is open, and returns the code.
int FailWithError(int code, ...) {
  Session& s = TheSession();
  va_list args;
  va_start(args, code);
  s.lastErrorText = Printf(AmbrelErrorTemplate(code), args);
  va_end(args);
  s.lastErrorCode = code;
  if (s.link.IsOpen()) {
    s.requests.EndSession();
    s.link.CloseComPort();
  }
  return code;
}

int FailWithText(int code, const std::string& text) { return FailWithError(code, text.c_str()); }

bool ValidRate(int rate) {
  return rate == 38400 || rate == 57600 || rate == 115200 || rate == 230400 || rate == 307200;
}

std::string PortText(int port) {
  char text[24];
  std::snprintf(text, sizeof text, "COM%d", port);
  return text;
}

bool OpenPortAt(std::uint32_t rate) {
  Session& s = TheSession();
  s.requests.SetPort(s.portText, s.divisor);
  return s.link.OpenComPort(s.portText, rate / s.divisor);
}

int EnsureDriver() {
  Session& s = TheSession();
  if (s.driverLoaded) return AMBREL_OK;
  if (!s.requests.DownloadFlashDriver(s.part.driver.data, s.part.driver.length)) {
    return FailWithError(AMBREL_DRIVER_DOWNLOAD);
  }
  if (!s.requests.SetTargetParams(s.base, kBusWidth)) return FailWithError(AMBREL_SET_TARGET_PARAMS);
  s.driverLoaded = true;
  return AMBREL_OK;
}

// Opens the port at the session rate and makes sure the driver runs.
int StartDriverOperation() {
  Session& s = TheSession();
  if (!OpenPortAt(s.rate)) return FailWithError(AMBREL_PORT_OPEN_FAILED, s.portText.c_str());
  s.nextOpenRate = s.rate;
  return EnsureDriver();
}

int FinishOperation() {
  Session& s = TheSession();
  TargetTiming timing;
  if (!s.requests.GetTiming(timing)) return FailWithError(AMBREL_TIMING);
  s.requests.EndOperation();
  s.link.CloseComPort();
  return AMBREL_OK;
}

int UnsupportedChip(const FlashIdPair& ids) {
  if ((ids.manufacturerId & 0xFF) == 0xFF && ids.deviceId == 0xFFFF) {
    return FailWithText(AMBREL_UNSUPPORTED_CHIP, kChipNotPresentText);
  }
  if ((ids.manufacturerId & 0xFF) == 0 && ids.deviceId == 0) return FailWithText(AMBREL_UNSUPPORTED_CHIP, kRamFoundText);
  char text[128];
  std::snprintf(text, sizeof text, kUnsupportedChipText, ids.manufacturerId, ids.deviceId);
  return FailWithText(AMBREL_UNSUPPORTED_CHIP, text);
}

int DetectPart(char* vendor, char* partName, unsigned* size) {
  Session& s = TheSession();
  if (!s.requests.DownloadDetectProgram(kDetectProgram.data, kDetectProgram.length)) {
    return FailWithError(AMBREL_DETECT_DOWNLOAD);
  }
  std::uint8_t sum = 0;
  if (!s.requests.RamChecksum(0, static_cast<std::uint32_t>(kDetectProgram.length), sum)) {
    return FailWithError(AMBREL_TARGET_NOT_RESPONDING);
  }
  if (sum != FrameChecksum(kDetectProgram.data, kDetectProgram.length)) return FailWithError(AMBREL_DETECT_DOWNLOAD);
  std::uint8_t width = 0;
  if (!s.requests.GetBusWidth(width)) return FailWithError(AMBREL_BUS_WIDTH_QUERY);
  if (width != kBusWidth) return FailWithError(AMBREL_BAD_BUS_WIDTH, static_cast<int>(width));
  if (!s.requests.SetLocation(s.chipSelect, s.base)) return FailWithError(AMBREL_SET_LOCATION);
  std::vector<FlashIdPair> ids;
  if (!s.requests.GetFlashIds(ids)) return FailWithError(AMBREL_FLASH_IDS);
  if (!BuildPartList(FlashPartTable(), s.parts)) return FailWithError(AMBREL_PART_LIST_FAILED);
  const FlashPartRecord* part = FindPartById(s.parts, ids[0].manufacturerId, ids[0].deviceId);
  if (!part) return UnsupportedChip(ids[0]);
  std::strcpy(vendor, part->vendor.c_str());
  std::strcpy(partName, part->partName.c_str());
  *size = part->size;
  s.part = *part;
  try {
    s.sectors = BuildSectorMap(s.part);
  } catch (const std::bad_alloc&) {
    return FailWithError(AMBREL_NO_MEMORY);
  }
  s.partKnown = true;
  return AMBREL_OK;
}

int ReadOneBlock(std::uint32_t blockOffset, std::uint8_t* block) {
  Session& s = TheSession();
  if (!s.engine.ReadFlashBlocks(blockOffset, block, kBlockSize)) return FailWithError(AMBREL_FLASH_READING);
  return AMBREL_OK;
}

// Reads [offset, offset + length): a head and a tail through whole blocks
// of their own, the aligned middle straight into the caller's buffer.
int ReadRange(std::uint8_t* out, std::uint32_t offset, std::uint32_t length) {
  Session& s = TheSession();
  const std::uint64_t end = std::uint64_t{offset} + length;
  std::uint64_t at = offset;
  std::vector<std::uint8_t> block(kBlockSize);
  if (at % kBlockSize != 0 && at < end) {
    const std::uint64_t blockStart = at & ~std::uint64_t{kBlockSize - 1};
    const std::uint64_t upTo = std::min(blockStart + kBlockSize, end);
    if (int rc = ReadOneBlock(static_cast<std::uint32_t>(blockStart), block.data())) return rc;
    std::copy(block.begin() + static_cast<long>(at - blockStart), block.begin() + static_cast<long>(upTo - blockStart),
              out);
    at = upTo;
  }
  const std::uint64_t middleEnd = end & ~std::uint64_t{kBlockSize - 1};
  if (middleEnd > at) {
    if (!s.engine.ReadFlashBlocks(static_cast<std::uint32_t>(at), out + (at - offset),
                                  static_cast<std::uint32_t>(middleEnd - at))) {
      return FailWithError(AMBREL_FLASH_READING);
    }
    at = middleEnd;
  }
  if (at < end) {
    if (int rc = ReadOneBlock(static_cast<std::uint32_t>(at), block.data())) return rc;
    std::copy(block.begin(), block.begin() + static_cast<long>(end - at), out + (at - offset));
  }
  return AMBREL_OK;
}

int LoadImage(const std::string& path, int fileType, int option, ImageBuffer& image) {
  Session& s = TheSession();
  if (fileType < 0 || fileType > 2) return FailWithError(AMBREL_BAD_FILE_TYPE);
  if (!CanOpenImageFile(path)) return FailWithError(AMBREL_FILE_OPEN_FAILED, path.c_str());
  const ImageFileType type = ResolveImageFileType(static_cast<ImageFileType>(fileType), path);
  const std::optional<ImageLimits> limits = ScanImageFile(type, path);
  if (!limits) return FailWithError(AMBREL_FILE_READ_FAILED);
  if (option < 0 || option > 2) return FailWithError(AMBREL_BAD_OPTION);
  if (limits->high >= s.part.size) {
    return FailWithError(AMBREL_IMAGE_TOO_HIGH, limits->high + 1, s.part.size);
  }
  if (!image.Allocate(limits->low, limits->high)) return FailWithError(AMBREL_NO_MEMORY);
  if (!LoadImageFile(type, path, image)) return FailWithError(AMBREL_FILE_READ_FAILED);
  return AMBREL_OK;
}

void PrepareHuffman(const ImageBuffer& image) {
  Session& s = TheSession();
  if (s.coders.mode != CompressionMode::Huffman) return;
  const HuffmanCoder::Preparation result = s.coders.huffman.Prepare(image.data.data(), image.valid.data(), image.size);
  if (result.gain < kLeastHuffmanGain) s.coders.mode = CompressionMode::None;
}

int SwitchHarrow(int rate, bool test) {
  Session& s = TheSession();
  if (!s.settingsKnown) return FailWithError(AMBREL_NOT_INITIALIZED);
  if (!OpenPortAt(s.nextOpenRate)) return FailWithError(AMBREL_PORT_OPEN_FAILED, s.portText.c_str());
  if (rate < 0 || !s.requests.SwitchHarrowBaud(static_cast<std::uint32_t>(rate), test)) {
    return FailWithError(AMBREL_HARROW_RATE);
  }
  s.link.CloseComPort();
  return AMBREL_OK;
}

}  // namespace
}  // namespace ambrel

using namespace ambrel;

extern "C" {

int Ambrel_Init(int port, int rate, int divisor) {
  if (TheSession().open) return FailWithError(AMBREL_ALREADY_INITIALIZED);
  char vendor[64];
  char partName[64];
  unsigned size = 0;
  return Ambrel_Init_Ex(port, rate, divisor, 0, 0, vendor, partName, &size);
}

int Ambrel_Init_Ex(int port, int rate, int divisor, int chipSelect, int offset, char* vendor, char* partName,
                   unsigned* size) {
  Session& s = TheSession();
  if (!vendor || !partName || !size) return FailWithError(AMBREL_NULL_POINTER);
  if (port <= 0 || port > kMaxPort) return FailWithError(AMBREL_BAD_PORT, PortText(port).c_str());
  if (!ValidRate(rate)) return FailWithError(AMBREL_BAD_RATE, rate);
  if (divisor <= 0) return FailWithError(AMBREL_BAD_RATE, divisor);
  if (chipSelect < 0 || chipSelect > kMaxChipSelect) return FailWithError(AMBREL_BAD_CHIP_SELECT, chipSelect);
  if (offset < 0 || offset % static_cast<int>(kOffsetAlignment) != 0) {
    return FailWithError(AMBREL_BAD_OFFSET, static_cast<unsigned>(offset));
  }
  s.portText = PortText(port);
  s.rate = static_cast<std::uint32_t>(rate);
  s.divisor = static_cast<std::uint32_t>(divisor);
  s.chipSelect = static_cast<std::uint8_t>(chipSelect);
  s.base = kFlashWindow + static_cast<std::uint32_t>(chipSelect) * kChipSelectStride + static_cast<std::uint32_t>(offset);
  s.settingsKnown = true;
  s.nextOpenRate = kRomRate;
  if (!OpenPortAt(kRomRate)) return FailWithError(AMBREL_PORT_OPEN_FAILED, s.portText.c_str());
  if (int rc = DetectPart(vendor, partName, size)) return rc;
  if (!s.requests.SetBaud(s.rate)) return FailWithError(AMBREL_TARGET_NOT_RESPONDING);
  s.driverLoaded = false;
  // The chip now runs at the session rate; the next call that opens the
  // port (Ambrel_Terminate among them) must reach it there.
  s.nextOpenRate = s.rate;
  s.link.CloseComPort();
  s.open = true;
  return AMBREL_OK;
}

int Ambrel_ProgramFlash(char* path, int fileType, int option, unsigned* start, unsigned* length) {
  Session& s = TheSession();
  if (!s.open) return FailWithError(AMBREL_NOT_INITIALIZED);
  if (!path || !start || !length) return FailWithError(AMBREL_NULL_POINTER);
  s.link.SetReadMode(false);
  s.progress.downloaded = 0;
  s.progress.programmed = 0;
  s.lastOperation = LastOperation::Program;
  if (int rc = StartDriverOperation()) return rc;
  ImageBuffer image;
  if (int rc = LoadImage(path, fileType, option, image)) return rc;
  PrepareHuffman(image);
  std::string detail;
  if (!s.engine.RunFlashOperation(s.part, s.sectors, image, static_cast<ProgramOption>(option), detail)) {
    return FailWithText(AMBREL_FLASH_PROGRAMMING, detail);
  }
  if (int rc = FinishOperation()) return rc;
  *start = image.low;
  *length = image.high - image.low + 1;
  return AMBREL_OK;
}

int Ambrel_EraseFlash(void) {
  Session& s = TheSession();
  if (!s.partKnown) return FailWithError(AMBREL_NOT_INITIALIZED);
  s.lastOperation = LastOperation::Erase;
  if (int rc = StartDriverOperation()) return rc;
  ImageBuffer image;
  if (!image.Allocate(0, kBlockSize - 1)) return FailWithError(AMBREL_NO_MEMORY);
  for (std::uint32_t i = 0; i < kBlockSize; ++i) image.Put(i, 0xFF);
  PrepareHuffman(image);
  std::string detail;
  if (!s.engine.RunFlashOperation(s.part, s.sectors, image, ProgramOption::EraseChip, detail)) {
    return FailWithText(AMBREL_FLASH_PROGRAMMING, detail);
  }
  return FinishOperation();
}

int Ambrel_ReadFlash(char* buffer, unsigned offset, unsigned length) {
  Session& s = TheSession();
  if (!s.open) return FailWithError(AMBREL_NOT_INITIALIZED);
  if (!buffer) return FailWithError(AMBREL_NULL_POINTER);
  if (std::uint64_t{offset} + length > 0x100000000ull) return FailWithError(AMBREL_BAD_OFFSET, offset);
  s.lastOperation = LastOperation::Read;
  s.progress.downloaded = 0;
  s.progress.programmed = 0;
  if (int rc = StartDriverOperation()) return rc;
  s.link.SetReadMode(true);
  if (int rc = ReadRange(reinterpret_cast<std::uint8_t*>(buffer), offset, length)) return rc;
  s.requests.EndOperation();
  s.link.CloseComPort();
  return AMBREL_OK;
}

int Ambrel_GetLastErrorMessage(int code, char* buffer) {
  Session& s = TheSession();
  if (!buffer) return FailWithError(AMBREL_NULL_POINTER);
  if (code != s.lastErrorCode) return AMBREL_NOT_LAST_ERROR;
  std::strcpy(buffer, s.lastErrorText.c_str());
  return AMBREL_OK;
}

int Ambrel_GetProgressInfo(int* first, int* second) {
  Session& s = TheSession();
  if (!s.open) return FailWithError(AMBREL_NOT_INITIALIZED);
  if (!first || !second) return FailWithError(AMBREL_NULL_POINTER);
  switch (s.lastOperation.load()) {
    case LastOperation::Program:
      *first = s.progress.downloaded;
      *second = s.progress.programmed;
      break;
    case LastOperation::Read:
      *first = s.progress.downloaded;
      *second = 0;
      break;
    default:
      *first = 0;
      *second = 0;
      break;
  }
  return AMBREL_OK;
}

int Ambrel_SetVerbose(int flag) {
  TheSession().link.SetVerbose(flag != 0);
  return flag;
}

int Ambrel_SetHarrowBaudRate(int rate) { return SwitchHarrow(rate, false); }
int Ambrel_SetHarrowBaudRateTest(int rate) { return SwitchHarrow(rate, true); }

int Ambrel_GetVersion(char* buffer) {
  if (!buffer) return FailWithError(AMBREL_NULL_POINTER);
  std::strcpy(buffer, kVersion);
  return AMBREL_OK;
}

int Ambrel_Terminate(void) {
  Session& s = TheSession();
  if (!s.settingsKnown) return FailWithError(AMBREL_NOT_INITIALIZED);
  if (!OpenPortAt(s.nextOpenRate)) return FailWithError(AMBREL_PORT_OPEN_FAILED, s.portText.c_str());
  s.requests.EndSession();
  s.link.CloseComPort();
  s.driverLoaded = false;
  s.open = false;
  return AMBREL_OK;
}

int Ambrel_GetFlashSoftwareVersion(char* buffer) {
  Session& s = TheSession();
  if (!buffer) return FailWithError(AMBREL_NULL_POINTER);
  if (!s.open) return FailWithError(AMBREL_NOT_INITIALIZED);
  std::uint8_t pointer[4] = {0, 0, 0, 0};
  if (int rc = Ambrel_ReadFlash(reinterpret_cast<char*>(pointer), kVersionPointerAt, sizeof pointer)) return rc;
  const std::uint32_t at = std::uint32_t{pointer[0]} | (std::uint32_t{pointer[1]} << 8) |
                           (std::uint32_t{pointer[2]} << 16) | (std::uint32_t{pointer[3]} << 24);
  if (at <= kLowestVersionPointer || at >= s.part.size) return FailWithError(AMBREL_VERSION_MISSING);
  const std::uint32_t count = std::min<std::uint32_t>(s.part.size - at, AMBREL_SOFTWARE_VERSION_SIZE);
  if (int rc = Ambrel_ReadFlash(buffer, at, count)) return rc;
  if (std::memchr(buffer, 0, count)) return AMBREL_OK;
  buffer[count - 1] = 0;
  return FailWithError(AMBREL_VERSION_TOO_LONG);
}

}  // extern "C"
