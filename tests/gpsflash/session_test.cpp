// Sessions, part detection and argument checks of the exported functions.

#include "gps_chip_fixture.h"

namespace gps_test {
namespace {

class Session : public GpsChipTest {};

TEST_F(Session, InitDetectsThePartAndSwitchesTheRate) {
  StartChip();
  ASSERT_EQ(Init(230400), 0) << LastError(Init(230400));
  EXPECT_STREQ(vendor_, "AMD");
  EXPECT_STREQ(partName_, "AM29LV200B");
  EXPECT_EQ(size_, 0x40000u);
  EXPECT_TRUE(Chip().TranscriptHas("detection program loaded, 1640 bytes"));
  EXPECT_EQ(Chip().ChipRate(), 230400u);
  char version[16] = {};
  EXPECT_EQ(Ambrel_GetVersion(version), 0);
  EXPECT_STREQ(version, "1.21");
  EXPECT_EQ(Ambrel_Init(kCom, 230400, 1), AMBREL_ALREADY_INITIALIZED);
  EXPECT_EQ(LastError(AMBREL_ALREADY_INITIALIZED), "Ambrel already initialized\n");
  EXPECT_EQ(Ambrel_Terminate(), 0);
  EXPECT_EQ(Ambrel_ProgramFlash(nullptr, 0, 0, nullptr, nullptr), AMBREL_NOT_INITIALIZED);
}

TEST_F(Session, ASecondInitExOpensANewSessionAfterTerminate) {
  StartChip();
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(Ambrel_Terminate(), 0);
  EXPECT_EQ(Chip().State(), gps_sim::ChipState::RomLoader);
  ASSERT_EQ(Ambrel_Init(kCom, 57600, 1), 0) << LastError(Ambrel_Init(kCom, 57600, 1));
  EXPECT_EQ(Chip().ChipRate(), 57600u);
}

struct DetectionCase {
  const char* name;
  gps_sim::ChipFaults faults;
  int chipSelect;
  int code;
  const char* text;
};

gps_sim::ChipFaults With(void (*change)(gps_sim::ChipFaults&)) {
  gps_sim::ChipFaults faults;
  change(faults);
  return faults;
}

TEST_F(Session, DetectionFailuresGiveTheirCodesAndTexts) {
  const DetectionCase cases[] = {
      {"no chip", With([](gps_sim::ChipFaults& f) { f.noChip = true; }), 0, 14,
       "Chip not present at specified location\n"},
      {"nothing at chip select 1", {}, 1, 14, "Chip not present at specified location\n"},
      {"RAM", With([](gps_sim::ChipFaults& f) { f.ramAtLocation = true; }), 0, 14,
       "RAM memory found at specified location\n"},
      {"unknown ids", With([](gps_sim::ChipFaults& f) { f.ids = {{0x1234, 0x5678}}; }), 0, 14,
       "Unsupported chip found:  manufacturer id - 0x1234, device id - 0x5678\n"},
      {"ids reply without pairs", With([](gps_sim::ChipFaults& f) { f.idPairs = 0; }), 0, 22,
       "Unable to get flash type info\n"},
      {"8-bit bus", With([](gps_sim::ChipFaults& f) { f.busWidth = 8; }), 0, 13, "Target bus is 8; it should be 16\n"},
      {"RAM checksum differs", With([](gps_sim::ChipFaults& f) { f.wrongRamChecksum = true; }), 0, 18,
       "Error downloading chip detection software\n"},
      {"program refused", With([](gps_sim::ChipFaults& f) { f.rejectDetectProgram = true; }), 0, 18,
       "Error downloading chip detection software\n"},
  };
  for (const DetectionCase& c : cases) {
    SCOPED_TRACE(c.name);
    StartChip();
    Chip().SetFaults(c.faults);
    EXPECT_EQ(Init(115200, c.chipSelect), c.code);
    EXPECT_EQ(LastError(c.code), c.text);
    EXPECT_EQ(Chip().State(), gps_sim::ChipState::RomLoader) << "the failure ended the chip's session";
    EXPECT_FALSE(ambrel::TheSession().open);
    server_.reset();
  }
}

TEST_F(Session, ASecondPairOfIdsIsAccepted) {
  StartChip();
  gps_sim::ChipFaults faults;
  faults.idPairs = 3;
  Chip().SetFaults(faults);
  EXPECT_EQ(Init(), 0);
}

TEST_F(Session, NoPortIsError9) {
  EXPECT_EQ(Init(), AMBREL_PORT_OPEN_FAILED);
  EXPECT_EQ(LastError(AMBREL_PORT_OPEN_FAILED), "Cannot open port COM5\n");
}

TEST_F(Session, ArgumentsAreCheckedInOrder) {
  struct Case {
    int port, rate, divisor, chipSelect, offset, code;
    const char* text;
  };
  const Case cases[] = {
      {0, 115200, 1, 0, 0, 1, "Port COM0 is not valid\n"},
      {33, 115200, 1, 0, 0, 1, "Port COM33 is not valid\n"},
      {-2, 115200, 1, 0, 0, 1, "Port COM-2 is not valid\n"},
      {5, 9600, 1, 0, 0, 2, "Baud rate 9600 is not valid\n"},
      {5, 115200, 0, 0, 0, 2, "Baud rate 0 is not valid\n"},
      {5, 115200, -4, 0, 0, 2, "Baud rate -4 is not valid\n"},
      {5, 115200, 1, 8, 0, 3, "Chip select 8 is not valid\n"},
      {5, 115200, 1, -1, 0, 3, "Chip select -1 is not valid\n"},
      {5, 115200, 1, 0, 0x8000, 4, "Flash offset 0x8000 is not valid\n"},
      {5, 115200, 1, 0, -0x10000, 4, "Flash offset 0xffff0000 is not valid\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Ambrel_Init_Ex(c.port, c.rate, c.divisor, c.chipSelect, c.offset, vendor_, partName_, &size_), c.code)
        << c.text;
    EXPECT_EQ(LastError(c.code), c.text);
  }
  EXPECT_EQ(Ambrel_Init_Ex(5, 115200, 1, 0, 0, nullptr, partName_, &size_), AMBREL_NULL_POINTER);
  EXPECT_EQ(LastError(AMBREL_NULL_POINTER), "Pointer argument is NULL\n");
  EXPECT_EQ(Ambrel_GetVersion(nullptr), AMBREL_NULL_POINTER);
}

TEST_F(Session, CallsBeforeAnySessionAreRefused) {
  char buffer[64];
  int first = 0;
  int second = 0;
  EXPECT_EQ(Ambrel_Terminate(), AMBREL_NOT_INITIALIZED);
  EXPECT_EQ(Ambrel_EraseFlash(), AMBREL_NOT_INITIALIZED);
  EXPECT_EQ(Ambrel_SetHarrowBaudRate(115200), AMBREL_NOT_INITIALIZED);
  EXPECT_EQ(Ambrel_SetHarrowBaudRateTest(115200), AMBREL_NOT_INITIALIZED);
  EXPECT_EQ(Ambrel_ReadFlash(buffer, 0, 4), AMBREL_NOT_INITIALIZED);
  EXPECT_EQ(Ambrel_GetProgressInfo(&first, &second), AMBREL_NOT_INITIALIZED);
  EXPECT_EQ(Ambrel_GetFlashSoftwareVersion(buffer), AMBREL_NOT_INITIALIZED);
  EXPECT_EQ(LastError(AMBREL_NOT_INITIALIZED), "Ambrel not initialized\n");
}

TEST_F(Session, TheLastErrorTextIsGivenOnlyForTheLastCode) {
  EXPECT_EQ(Ambrel_Terminate(), AMBREL_NOT_INITIALIZED);
  char text[64] = "untouched";
  EXPECT_EQ(Ambrel_GetLastErrorMessage(AMBREL_BAD_PORT, text), AMBREL_NOT_LAST_ERROR);
  EXPECT_STREQ(text, "untouched");
  EXPECT_EQ(Ambrel_GetLastErrorMessage(AMBREL_NOT_INITIALIZED, text), 0);
  EXPECT_STREQ(text, "Ambrel not initialized\n");
  EXPECT_EQ(Ambrel_SetVerbose(7), 7);
  EXPECT_EQ(Ambrel_SetVerbose(0), 0);
}

TEST_F(Session, FileProblemsGiveTheirCodes) {
  StartChip();
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Program(folder_ + "/missing.bin", 0), AMBREL_FILE_OPEN_FAILED);
  EXPECT_EQ(LastError(AMBREL_FILE_OPEN_FAILED), "Cannot open data file " + folder_ + "/missing.bin\n");
  const std::string image = WriteFile("image.bin", RandomBytes(100, 1));
  EXPECT_EQ(Program(image, 0, 3), AMBREL_BAD_FILE_TYPE);
  EXPECT_EQ(Program(image, 3), AMBREL_BAD_OPTION);
  EXPECT_EQ(Program(WriteFile("empty.bin", {}), 0), AMBREL_FILE_OPEN_FAILED);
  const std::string headerOnly = "S00600004844521B\nS9030000FC\n";
  EXPECT_EQ(Program(WriteFile("empty.s19", Bytes(headerOnly.begin(), headerOnly.end())), 0),
            AMBREL_FILE_READ_FAILED);
  EXPECT_EQ(LastError(AMBREL_FILE_READ_FAILED), "Error reading data file\n");
  const std::string bad = "S00600004844521B\nS5030000FC\n";
  EXPECT_EQ(Program(WriteFile("bad.s19", Bytes(bad.begin(), bad.end())), 0, AMBREL_FILE_SRECORD),
            AMBREL_FILE_READ_FAILED);
  EXPECT_EQ(Program(WriteSrecFile("high.s19", {{0x3FFF0, RandomBytes(0x20, 2)}}), 0), AMBREL_IMAGE_TOO_HIGH);
  EXPECT_EQ(LastError(AMBREL_IMAGE_TOO_HIGH), "Highest data address 0x40010 above chip highest address 0x40000\n");
  // The session stays open after a failed operation.
  EXPECT_TRUE(ambrel::TheSession().open);
}

TEST_F(Session, BasebandRateSwitchReachesTheBasebandChip) {
  StartChip();
  ASSERT_EQ(Init(38400), 0);
  EXPECT_EQ(Ambrel_SetHarrowBaudRate(307200), 0) << LastError(AMBREL_HARROW_RATE);
  EXPECT_EQ(Chip().BasebandRateCode(), 6u);
  EXPECT_EQ(Ambrel_SetHarrowBaudRateTest(115200), 0) << LastError(AMBREL_HARROW_RATE);
  EXPECT_TRUE(Chip().TranscriptHas("baseband test rate 115200"));
  EXPECT_EQ(Ambrel_SetHarrowBaudRate(9600), AMBREL_HARROW_RATE);
  EXPECT_EQ(LastError(AMBREL_HARROW_RATE), "Unable to set Harrow baud rate\n");
}

TEST_F(Session, BytesAtAnotherRateAreLostAndTheChipIsNotReached) {
  StartChip();
  ASSERT_EQ(Init(115200), 0);
  ASSERT_EQ(Ambrel_Terminate(), 0);
  // The chip is back in its ROM loader at 38400; a session at the old rate
  // with a divisor that does not match the line fails.
  EXPECT_EQ(Ambrel_Init_Ex(kCom, 115200, 2, 0, 0, vendor_, partName_, &size_), AMBREL_DETECT_DOWNLOAD);
  EXPECT_TRUE(Chip().TranscriptHas("bytes sent at 19200 bit/s (chip at 38400)"));
}

}  // namespace
}  // namespace gps_test
