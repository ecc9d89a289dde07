#include "shell/config/set_option.h"

#include <gtest/gtest.h>

#include "engine/core/app_settings.h"
#include "engine/quillon_exception.h"
#include "shell/config/config_file.h"
#include "shell/userio/product_selection.h"
#include "../support/shell_test_support.h"

namespace {

using shell_test::RecordingTarget;

struct SetCase {
  const char* name;
  SetOptionTokens tokens;
  bool succeeds;
  const char* errorLine;  // "" when none
  int optionId;
  int expected;
};

class SetOptionTable : public ::testing::TestWithParam<SetCase> {
 protected:
  SetOptionTable() { SetConfigDefaults(settings); }
  CAppSettings settings;
  RecordingTarget userIo{PT_USER_IO};
  int writes = 0;
};

TEST_P(SetOptionTable, AppliesOrFails) {
  const SetCase& c = GetParam();
  SetOptionContext context{settings, "/nonexistent/", nullptr, [this] { ++writes; }};
  EXPECT_EQ(ApplySetOption(c.tokens, context), c.succeeds);
  EXPECT_EQ(writes, c.succeeds ? 1 : 0);
  EXPECT_EQ(settings.GetIntParam(c.optionId), c.expected);
  const auto logs = userIo.TakeLogLines();
  if (*c.errorLine) {
    EXPECT_EQ(logs, std::vector<std::string>{c.errorLine});
  } else {
    EXPECT_TRUE(logs.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Options, SetOptionTable,
    ::testing::Values(
        SetCase{"ProtocolRs232", {"comm_protocol", "rs232"}, true, "", OPTION_COMM_PROTOCOL, 0},
        SetCase{"ProtocolUsb", {"comm_protocol", "Usb"}, true, "", OPTION_COMM_PROTOCOL, 1},
        SetCase{"ProtocolBad", {"comm_protocol", "ether"}, false, "Error> choice ETHER not supported for option comm_protocol",
                OPTION_COMM_PROTOCOL, 1},
        SetCase{"SerialFirst", {"serial_port", "com1"}, true, "", OPTION_SERIAL_PORT, 0},
        SetCase{"SerialLast", {"serial_port", "COM18"}, true, "", OPTION_SERIAL_PORT, 17},
        SetCase{"SerialBeyond", {"serial_port", "COM19"}, false, "Error> choice COM19 not supported for option serial_port",
                OPTION_SERIAL_PORT, 0},
        SetCase{"SerialZero", {"serial_port", "COM0"}, false, "Error> choice COM0 not supported for option serial_port",
                OPTION_SERIAL_PORT, 0},
        SetCase{"DataRate", {"data_rate", "460800"}, true, "", OPTION_DATA_RATE, 2},
        SetCase{"RemotePortAnyText", {"remote_port", "4100abc"}, true, "", OPTION_REMOTE_PORT, 4100},
        SetCase{"ChecksumTrue", {"override_cksum", "true"}, true, "", OPTION_OVERRIDE_CHECKSUM, 1},
        SetCase{"AutoEraseFalse", {"auto_erase_flash", "FALSE"}, true, "", OPTION_AUTO_ERASE_FLASH, 0},
        SetCase{"AutoEraseYes", {"auto_erase_flash", "yes"}, false, "Error> choice YES not supported for option auto_erase_flash",
                OPTION_AUTO_ERASE_FLASH, 1},
        SetCase{"MagicKey", {"auto_program_magic_key", "True"}, true, "", OPTION_AUTO_PROGRAM_MAGIC_KEY, 1},
        SetCase{"RemoteControl", {"enable_remote_control", "true"}, true, "", OPTION_ENABLE_REMOTE_CONTROL, 1},
        SetCase{"SmartFlashing", {"enable_smart_flashing", "false"}, true, "", OPTION_ENABLE_SMART_FLASHING, 0},
        SetCase{"Divisor4", {"data_rate_divisor", "4"}, true, "", OPTION_DATA_RATE_DIVISOR, 2},
        SetCase{"Divisor3", {"data_rate_divisor", "3"}, false, "Error> choice 3 not supported for option data_rate_divisor",
                OPTION_DATA_RATE_DIVISOR, 0},
        SetCase{"ChipSelection", {"orvix_enable_chip_selection", "TRUE"}, true, "", OPTION_ORVIX_ENABLE_CHIP_SELECTION, 1},
        SetCase{"ChipSelect7", {"orvix_chip_select", "csn7"}, true, "", OPTION_ORVIX_CHIP_SELECT, 7},
        SetCase{"ChipSelect8", {"orvix_chip_select", "csn8"}, false,
                "Error> choice CSN8 not supported for option orvix_chip_select", OPTION_ORVIX_CHIP_SELECT, 0},
        SetCase{"ChipOffset", {"orvix_chip_offset", "65536"}, true, "", OPTION_ORVIX_CHIP_OFFSET, 65536},
        SetCase{"Programming", {"orvix_programming_option", "update_chip"}, true, "", OPTION_ORVIX_PROGRAMMING_OPTION, 2},
        SetCase{"ProgrammingBad", {"orvix_programming_option", "erase"}, false,
                "Error> choice ERASE not supported for option orvix_programming_option", OPTION_ORVIX_PROGRAMMING_OPTION, 0},
        SetCase{"OptionNamesAreCaseSensitive", {"COMM_PROTOCOL", "usb"}, false, "Error> COMM_PROTOCOL option not supported",
                OPTION_COMM_PROTOCOL, 1},
        SetCase{"NoChoice", {"serial_port"}, false, "Error> option serial_port has no corresponding choice",
                OPTION_SERIAL_PORT, 0},
        // The first pair stays applied, the second fails, nothing is written.
        SetCase{"PartialApply", {"serial_port", "com3", "data_rate", "9600"}, false,
                "Error> choice 9600 not supported for option data_rate", OPTION_SERIAL_PORT, 2},
        SetCase{"ProductMapNotFound", {"flash_product_map", "Nothing"}, false, "Error> Product map 'Nothing' was not found",
                OPTION_SERIAL_PORT, 0},
        SetCase{"NoPairsWritesOnly", {}, true, "", OPTION_SERIAL_PORT, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SetOption, AWriteThatThrowsFailsTheCommand) {
  CAppSettings settings;
  RecordingTarget userIo{PT_USER_IO};
  SetOptionContext context{settings, "/nonexistent/", nullptr, [] { throw QUILLON_ERROR; }};
  EXPECT_FALSE(ApplySetOption({"data_rate", "230400"}, context));
  EXPECT_EQ(settings.GetIntParam(OPTION_DATA_RATE), 1);
}

class ProductMapTest : public ::testing::Test {
 protected:
  ProductMapTest() {
    SetConfigDefaults(settings);
    dir.Write("a_radios.qlp", "product RADIO_A, RADIO_B\n{ processor Harrow; }\n");
    dir.Write("b_radios.QLP", "product RADIO_B { processor Calder; }\nproduct RADIO_C { processor Bisel; }\n");
    dir.Write("notes.txt", "product RADIO_D { }\n");
  }
  shell_test::TempFolder dir;
  CAppSettings settings;
  RecordingTarget userIo{PT_USER_IO};
  RecordingTarget mainWindow{PT_MAIN_WINDOW};
  int reads = 0;
  int writes = 0;
  SetOptionContext Context() {
    return SetOptionContext{settings, dir.Dir(), [this] { ++reads; }, [this] { ++writes; }};
  }
};

TEST_F(ProductMapTest, TheFirstFileDeclaringTheTagIsSelected) {
  auto context = Context();
  ASSERT_TRUE(ApplySetOption({"flash_product_map", "RADIO_B"}, context));
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_FILE), "a_radios.qlp");
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_TAG), "RADIO_B");
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(writes, 1);
  auto selection = mainWindow.Wait(WM_SELECT_PRODUCT);
  ASSERT_TRUE(selection);
  auto record = selection->Take<WM_SELECT_PRODUCT>();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->productFile, "a_radios.qlp");
  EXPECT_EQ(record->productTag, "RADIO_B");
}

TEST_F(ProductMapTest, ALaterFileAndAnUpperCaseExtensionAreSearched) {
  auto context = Context();
  ASSERT_TRUE(ApplySetOption({"flash_product_map", "RADIO_C"}, context));
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_FILE), "b_radios.QLP");
}

TEST_F(ProductMapTest, TagsAreComparedExactly) {
  auto context = Context();
  EXPECT_FALSE(ApplySetOption({"flash_product_map", "radio_c"}, context));
  EXPECT_FALSE(ApplySetOption({"flash_product_map", "RADIO_D"}, context));
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_FILE), "Quor_Plover.qlp");
  EXPECT_EQ(reads, 0);
}

// The tag is found but its product does not load: the command fails, the
// product that was selected stays selected, and nothing is written or shown.
TEST_F(ProductMapTest, AProductThatDoesNotLoadIsNotSelected) {
  settings.SetStringParam(OPTION_PRODUCT_FILE, "b_radios.QLP");
  settings.SetStringParam(OPTION_PRODUCT_TAG, "RADIO_C");
  SetOptionContext context{settings, dir.Dir(), [this] {
                             ++reads;
                             throw QUILLON_ERROR;
                           },
                           [this] { ++writes; }};
  EXPECT_FALSE(ApplySetOption({"data_rate", "230400", "flash_product_map", "RADIO_A"}, context));
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(writes, 0);
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_FILE), "b_radios.QLP");
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_TAG), "RADIO_C");
  for (const auto& message : mainWindow.TakeAll()) EXPECT_NE(message.number, WM_SELECT_PRODUCT);
}

TEST_F(ProductMapTest, AParseErrorWhileWalkingFailsTheCommand) {
  dir.Write("0_broken.qlp", "product {\n");
  auto context = Context();
  EXPECT_FALSE(ApplySetOption({"flash_product_map", "RADIO_A"}, context));
  EXPECT_EQ(writes, 0);
}

}  // namespace
