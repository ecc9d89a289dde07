#pragma once
// ambrel: the GPS-chip flash library.
//
// Talks to the GPS receiver chip inside a radio over one serial port (COM1 to
// COM32, resolved through the platform COM map), downloads a chip-detection
// program and a flash driver into the chip's RAM, identifies the flash part and
// programs, erases and reads it with compressed, CRC-checked block transfers.
//
// All state is library-wide: one session per process. One thread calls the
// functions; another may poll Ambrel_GetProgressInfo during an operation.
// Every function but Ambrel_SetVerbose returns an AmbrelError (0 success); the
// text of the last error is kept for Ambrel_GetLastErrorMessage.

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define AMBREL_EXPORT __attribute__((visibility("default")))
#else
#define AMBREL_EXPORT
#endif

typedef enum AmbrelError {
  AMBREL_OK = 0,
  AMBREL_BAD_PORT = 1,
  AMBREL_BAD_RATE = 2,
  AMBREL_BAD_CHIP_SELECT = 3,
  AMBREL_BAD_OFFSET = 4,
  AMBREL_BAD_FILE_TYPE = 5,
  AMBREL_BAD_OPTION = 6,
  AMBREL_IMAGE_TOO_HIGH = 7,
  AMBREL_NOT_LAST_ERROR = 8,
  AMBREL_PORT_OPEN_FAILED = 9,
  AMBREL_FILE_OPEN_FAILED = 10,
  AMBREL_FILE_READ_FAILED = 11,
  AMBREL_PART_LIST_FAILED = 12,
  AMBREL_BAD_BUS_WIDTH = 13,
  AMBREL_UNSUPPORTED_CHIP = 14,
  AMBREL_NO_MEMORY = 15,
  AMBREL_FLASH_PROGRAMMING = 16,
  AMBREL_TARGET_NOT_RESPONDING = 17,
  AMBREL_DETECT_DOWNLOAD = 18,
  AMBREL_DRIVER_DOWNLOAD = 19,
  AMBREL_BUS_WIDTH_QUERY = 20,
  AMBREL_SET_LOCATION = 21,
  AMBREL_FLASH_IDS = 22,
  AMBREL_SET_TARGET_PARAMS = 23,
  AMBREL_TIMING = 24,
  AMBREL_HARROW_RATE = 25,
  AMBREL_FLASH_READING = 26,
  AMBREL_NULL_POINTER = 27,
  AMBREL_VERSION_TOO_LONG = 28,
  AMBREL_VERSION_MISSING = 29,
  AMBREL_NOT_INITIALIZED = 30,
  AMBREL_ALREADY_INITIALIZED = 31,
} AmbrelError;

// File types of Ambrel_ProgramFlash.
#define AMBREL_FILE_BINARY 0
#define AMBREL_FILE_SRECORD 1
#define AMBREL_FILE_DETECT 2

// Programming options of Ambrel_ProgramFlash.
#define AMBREL_OPTION_ERASE_SECTORS 0
#define AMBREL_OPTION_ERASE_CHIP 1
#define AMBREL_OPTION_PRESERVE 2

// Room that Ambrel_GetFlashSoftwareVersion needs.
#define AMBREL_SOFTWARE_VERSION_SIZE 64

AMBREL_EXPORT int Ambrel_Init(int port, int rate, int divisor);
AMBREL_EXPORT int Ambrel_Init_Ex(int port, int rate, int divisor, int chipSelect, int offset,
                                 char* vendor, char* partName, unsigned* size);
AMBREL_EXPORT int Ambrel_ProgramFlash(char* path, int fileType, int option, unsigned* start,
                                      unsigned* length);
AMBREL_EXPORT int Ambrel_EraseFlash(void);
AMBREL_EXPORT int Ambrel_ReadFlash(char* buffer, unsigned offset, unsigned length);
AMBREL_EXPORT int Ambrel_GetLastErrorMessage(int code, char* buffer);
AMBREL_EXPORT int Ambrel_GetProgressInfo(int* first, int* second);
AMBREL_EXPORT int Ambrel_SetVerbose(int flag);
AMBREL_EXPORT int Ambrel_SetHarrowBaudRate(int rate);
AMBREL_EXPORT int Ambrel_SetHarrowBaudRateTest(int rate);
AMBREL_EXPORT int Ambrel_GetVersion(char* buffer);
AMBREL_EXPORT int Ambrel_Terminate(void);
AMBREL_EXPORT int Ambrel_GetFlashSoftwareVersion(char* buffer);

#ifdef __cplusplus
}
#endif
