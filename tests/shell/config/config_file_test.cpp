#include "shell/config/config_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/core/app_settings.h"
#include "engine/core/device_number.h"
#include "engine/quillon_exception.h"
#include "../support/shell_test_support.h"

namespace {

using shell_test::RecordingTarget;
using shell_test::TempFolder;

std::string Golden(const std::string& name) {
  std::ifstream in(std::string(QUILLON_SOURCE_DIR) + "/tests/shell/config/golden/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ConfigFileTest : public ::testing::Test {
 protected:
  ConfigFileTest() { SetConfigDefaults(settings); }
  CAppSettings settings;
  RecordingTarget userIo{PT_USER_IO};
  std::vector<std::string> changedTo;
  void Apply(const std::string& text) {
    ApplyConfigText(text, settings, [this](const std::string& path) { changedTo.push_back(path); });
  }
};

struct ReaderCase {
  const char* name;
  const char* text;
  int optionId;
  int expected;
};

class ConfigReaderTable : public ConfigFileTest, public ::testing::WithParamInterface<ReaderCase> {};

TEST_P(ConfigReaderTable, SetsTheOption) {
  Apply(GetParam().text);
  EXPECT_EQ(settings.GetIntParam(GetParam().optionId), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ConfigReaderTable,
    ::testing::Values(
        ReaderCase{"BlanksInsideTheKeyAndCase", "  Auto_Erase _Flash  =  0  \n", OPTION_AUTO_ERASE_FLASH, 0},
        ReaderCase{"TabsAroundTheLine", "\tremote_port=4100\t\n", OPTION_REMOTE_PORT, 4100},
        ReaderCase{"CrLfLineEnds", "remote_port=4200\r\nserial_port=3\r\n", OPTION_SERIAL_PORT, 3},
        ReaderCase{"NoFinalLineEnd", "data_rate=2", OPTION_DATA_RATE, 2},
        ReaderCase{"CommentChangesNothing", "#auto_erase_flash=0\n", OPTION_AUTO_ERASE_FLASH, 1},
        ReaderCase{"LineWithoutEqualsIsIgnored", "comm_protocol\n", OPTION_COMM_PROTOCOL, 1},
        ReaderCase{"ValueWithoutDigitsIsZero", "orvix_chip_select=abc\n", OPTION_ORVIX_CHIP_SELECT, 0},
        ReaderCase{"DigitsUpToTheFirstNonDigit", "orvix_chip_offset=-12kb\n", OPTION_ORVIX_CHIP_OFFSET, -12},
        ReaderCase{"FlagNonZeroIsOne", "override_cksum=7\n", OPTION_OVERRIDE_CHECKSUM, 1},
        ReaderCase{"UnknownKeyIsIgnored", "no_such_key=5\nalways_on_top=0\n", OPTION_ALWAYS_ON_TOP, 0},
        ReaderCase{"ValueKeepsItsFirstEquals", "product_filter=3=4\n", OPTION_PRODUCT_FILTER, 3},
        // Values outside an option's table keep what was set before.
        ReaderCase{"DataRateOutsideTable", "data_rate=3\n", OPTION_DATA_RATE, 0},
        ReaderCase{"DataRateNegative", "data_rate=-1\n", OPTION_DATA_RATE, 0},
        ReaderCase{"DivisorOutsideTable", "data_rate_divisor=9\n", OPTION_DATA_RATE_DIVISOR, 0},
        ReaderCase{"ProtocolOutsideTable", "comm_protocol=2\n", OPTION_COMM_PROTOCOL, 1},
        // The serial ports are COM1 (0) to COM19 (18), every COM device number.
        ReaderCase{"SerialPortFirst", "serial_port=5\nserial_port=0\n", OPTION_SERIAL_PORT, 0},
        ReaderCase{"SerialPortBelowTable", "serial_port=5\nserial_port=-1\n", OPTION_SERIAL_PORT, 5},
        ReaderCase{"SerialPortCom18", "serial_port=17\n", OPTION_SERIAL_PORT, 17},
        ReaderCase{"SerialPortLastCom19", "serial_port=18\n", OPTION_SERIAL_PORT, 18},
        ReaderCase{"SerialPortPastTable", "serial_port=5\nserial_port=19\n", OPTION_SERIAL_PORT, 5},
        ReaderCase{"RemotePortZero", "remote_port=0\n", OPTION_REMOTE_PORT, 4000},
        ReaderCase{"RemotePortAboveRange", "remote_port=65536\n", OPTION_REMOTE_PORT, 4000},
        ReaderCase{"RemotePortTop", "remote_port=65535\n", OPTION_REMOTE_PORT, 65535},
        ReaderCase{"HugeNumberHeld", "remote_port=99999999999999999999\n", OPTION_REMOTE_PORT, 4000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfigFileTest, DefaultsAreTheDocumentedOnes) {
  EXPECT_EQ(settings.GetIntParam(OPTION_COMM_PROTOCOL), 1);
  EXPECT_EQ(settings.GetIntParam(OPTION_REMOTE_PORT), 4000);
  EXPECT_EQ(settings.GetIntParam(OPTION_AUTO_ERASE_FLASH), 1);
  EXPECT_EQ(settings.GetIntParam(OPTION_ALWAYS_ON_TOP), 1);
  EXPECT_EQ(settings.GetIntParam(OPTION_ENABLE_SMART_FLASHING), 1);
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_FILE), "Quor_Plover.qlp");
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_TAG), "Vexa_Series");
  EXPECT_EQ(settings.GetStringParam(OPTION_SERVER), kDefaultServerAddress);
}

TEST_F(ConfigFileTest, StringsAreTakenAsTheyStandAfterTrimming) {
  Apply("flash_product_file =  My Radios.qlp \nFLASH_PRODUCT_TAG=Tag B\nquillon_server=http://x.invalid/\n");
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_FILE), "My Radios.qlp");
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_TAG), "Tag B");
  EXPECT_EQ(settings.GetStringParam(OPTION_SERVER), "http://x.invalid/");
}

TEST_F(ConfigFileTest, TwoRecentFileLinesLeaveTheLastAtTheHead) {
  Apply("recent_files=a\nrecent_files=b\nrecent_files=a\nrecent_files=b\n");
  EXPECT_EQ(settings.GetAppString(APP_STRING_RECENT_FILE, 0), "b");
  EXPECT_EQ(settings.GetAppString(APP_STRING_RECENT_FILE, 1), "a");
  EXPECT_EQ(settings.GetAppString(APP_STRING_RECENT_FILE, 2), "");
}

TEST_F(ConfigFileTest, MaxRecentFilesIsHeldAtTen) {
  Apply("max_recent_files=25\n");
  EXPECT_EQ(settings.GetAppInt(APP_INT_MAX_RECENT_FILES), 10);
}

TEST_F(ConfigFileTest, WorkingDirectoryLineChangesTheCurrentDirectoryOnly) {
  Apply("current_working_directory= /srv/flash bench \n");
  EXPECT_EQ(changedTo, std::vector<std::string>{"/srv/flash bench"});
}

TEST_F(ConfigFileTest, WriterMatchesTheGoldenFile) {
  EXPECT_EQ(ConfigFileText(settings, "/srv/flash bench"), Golden("defaults.cfg"));
}

// Both ends of the serial-port range survive a write and a read.
TEST_F(ConfigFileTest, SerialPortEdgesAreWrittenBackAsRead) {
  for (const int port : {0, DEVICE_LAST_COM - DEVICE_FIRST_COM}) {
    CAppSettings read;
    SetConfigDefaults(read);
    read.SetIntParam(OPTION_SERIAL_PORT, 7);
    ApplyConfigText("serial_port=" + std::to_string(port) + "\n", read, {});
    EXPECT_EQ(read.GetIntParam(OPTION_SERIAL_PORT), port);
    const std::string text = ConfigFileText(read, "/srv");
    EXPECT_NE(text.find("\nserial_port=" + std::to_string(port) + "\n"), std::string::npos) << text;
    EXPECT_EQ(GetDeviceName(DEVICE_FIRST_COM + read.GetIntParam(OPTION_SERIAL_PORT)),
              "COM" + std::to_string(port + 1));
  }
}

TEST_F(ConfigFileTest, WriterKeepsALongWorkingDirectoryWhole) {
  const std::string longDir = "/" + std::string(400, 'd');
  const std::string text = ConfigFileText(settings, longDir);
  EXPECT_NE(text.find("current_working_directory=" + longDir + "\n"), std::string::npos);
}

TEST_F(ConfigFileTest, ReadCreatesAMissingFileAndKeepsTheDefaults) {
  TempFolder dir;
  const std::string path = dir.File("Vexa20 Flash.cfg");
  ASSERT_TRUE(ReadConfigFile(path, settings));
  EXPECT_TRUE(dir.Exists("Vexa20 Flash.cfg"));
  EXPECT_EQ(dir.Read("Vexa20 Flash.cfg"), "");
  EXPECT_EQ(settings.GetIntParam(OPTION_REMOTE_PORT), 4000);
  EXPECT_TRUE(shell_test::Contains(userIo.TakeLogLines(), "Reading configuration file " + path));
}

TEST_F(ConfigFileTest, RewriteDropsServerRecentFilesCommentsAndUnknownKeys) {
  TempFolder dir;
  shell_test::CurrentDirectory cwd(dir.Dir());
  dir.Write("t.cfg", "# my comment\nquillon_server=http://other.invalid/\nmax_recent_files=3\nrecent_files=x\n"
                     "colour=blue\nremote_port=4321\n");
  ASSERT_TRUE(ReadConfigFile(dir.File("t.cfg"), settings));
  EXPECT_EQ(WriteConfigFile(dir.File("t.cfg"), settings), ConfigWriteResult::Written);
  std::string expected = Golden("defaults.cfg");
  expected.replace(expected.find("remote_port=4000"), 16, "remote_port=4321");
  expected.replace(expected.find("/srv/flash bench"), 16, std::filesystem::current_path().string());
  EXPECT_EQ(dir.Read("t.cfg"), expected);
  // Nothing but the file itself is left in the folder (no temporary file).
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Dir()), std::filesystem::directory_iterator()), 1);
  const auto logs = userIo.TakeLogLines();
  EXPECT_TRUE(shell_test::Contains(logs, "Writing configuration file " + dir.File("t.cfg")));
}

TEST_F(ConfigFileTest, AReadOnlyFileIsReadButNeverWritten) {
  TempFolder dir;
  dir.Write("ro.cfg", "remote_port=4555\n");
  dir.MakeReadOnly("ro.cfg");
  ASSERT_TRUE(ReadConfigFile(dir.File("ro.cfg"), settings));
  EXPECT_EQ(settings.GetIntParam(OPTION_REMOTE_PORT), 4555);
  userIo.TakeAll();
  EXPECT_EQ(WriteConfigFile(dir.File("ro.cfg"), settings), ConfigWriteResult::ReadOnly);
  EXPECT_EQ(dir.Read("ro.cfg"), "remote_port=4555\n");
  auto messages = userIo.TakeAll();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(*messages[1].Take<WM_LOG_LINE>(),
            "Error> Configuration file is read only. Settings changes will not be saved.");
  ASSERT_EQ(messages[2].number, WM_USER_PROMPT);
  auto prompt = messages[2].Take<WM_USER_PROMPT>();
  ASSERT_TRUE(prompt);
  EXPECT_EQ(prompt->kind, PROMPT_ERROR);
  EXPECT_EQ(prompt->replyTarget, PT_USER_IO);
  EXPECT_EQ(prompt->wantReply, 0);
}

TEST_F(ConfigFileTest, AFailedWriteLeavesTheOldFileAndThrowsFromSync) {
  TempFolder dir;
  const std::string path = dir.File("missing-folder/t.cfg");
  EXPECT_THROW(SyncConfigFile(1, path, settings), QUILLON_EXCEPTION);
  const auto logs = userIo.TakeLogLines();
  ASSERT_GE(logs.size(), 3u);
  EXPECT_EQ(logs[0], "Updating configuration parameters");
  EXPECT_EQ(logs.back(), "Error> Unable to write configuration file " + path);
}

TEST_F(ConfigFileTest, SyncOtherModesOnlyLog) {
  TempFolder dir;
  SyncConfigFile(2, dir.File("t.cfg"), settings);
  EXPECT_FALSE(dir.Exists("t.cfg"));
  EXPECT_EQ(userIo.TakeLogLines(), std::vector<std::string>{"Updating configuration parameters"});
}

}  // namespace
