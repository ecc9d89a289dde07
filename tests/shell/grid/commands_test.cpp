// The main window's command table, the menu state and the USB change record.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "shell/grid/main_commands.h"
#include "shell/preproc/reverse_flash_request.h"
#include "shell/grid/menu_state.h"
#include "shell/grid/usb_change_event.h"

namespace {

struct CommandCase {
  int id;
  CommandKind kind;
  std::uint32_t message;
  platform::WParam wParam;
};

class CommandTable : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandTable, PlansTheMessageForThePreProcessingThread) {
  const auto& c = GetParam();
  CommandPlan plan = PlanCommand(c.id);
  EXPECT_EQ(plan.kind, c.kind) << c.id;
  if (c.kind == CommandKind::None || c.kind == CommandKind::Exit || c.kind == CommandKind::RowButton) return;
  EXPECT_EQ(plan.target, PT_PREPROCESSING) << c.id;
  EXPECT_EQ(plan.message, c.message) << c.id;
  EXPECT_EQ(plan.wParam, c.wParam) << c.id;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandTable,
    ::testing::Values(CommandCase{32771, CommandKind::FlashSoftware, WM_REVERSE_FLASH, 0},
                      CommandCase{32806, CommandKind::FlashSoftware, WM_REVERSE_FLASH, 0},
                      // The user's own read-back asks what to read and where to save it.
                      CommandCase{32772, CommandKind::SingleDevice, WM_REVERSE_FLASH, kChosenReadBackRequest},
                      CommandCase{32808, CommandKind::SingleDevice, WM_REVERSE_FLASH, kChosenReadBackRequest},
                      CommandCase{32793, CommandKind::Post, WM_ERASE, 0},
                      CommandCase{32807, CommandKind::Post, WM_ERASE, 0},
                      CommandCase{32776, CommandKind::Post, WM_PROGRAM_MAGIC_KEY, 0},
                      CommandCase{32805, CommandKind::Post, WM_PROGRAM_MAGIC_KEY, 0},
                      CommandCase{32783, CommandKind::Post, WM_COMM_CHECK, 0},
                      CommandCase{32809, CommandKind::Post, WM_COMM_CHECK, 0},
                      CommandCase{32788, CommandKind::Post, WM_RESET_TARGET, 0},
                      CommandCase{32790, CommandKind::Post, WM_RUN_SCRIPT_FILE, 0},
                      CommandCase{32796, CommandKind::Post, WM_ORVIX_FLASH, 0},
                      CommandCase{32797, CommandKind::ConfirmChipErase, WM_ORVIX_ERASE, 0},
                      CommandCase{32798, CommandKind::Post, WM_ORVIX_REVERSE_FLASH, 0},
                      CommandCase{32774, CommandKind::Post, WM_USER_PROMPT, 4},
                      CommandCase{32775, CommandKind::Post, WM_USER_PROMPT, 6},
                      CommandCase{32816, CommandKind::Post, WM_USER_PROMPT, 7},
                      CommandCase{32801, CommandKind::Post, WM_USER_PROMPT, 5},
                      CommandCase{32773, CommandKind::Exit, 0, 0},
                      CommandCase{32817, CommandKind::SingleDevice, WM_FLASHPACK_MANAGER, 0},
                      CommandCase{32848, CommandKind::ConfirmFormat, WM_RALIX_FORMAT, 0},
                      CommandCase{32849, CommandKind::ConfirmFormat, WM_RALIX_FORMAT, 0},
                      CommandCase{32851, CommandKind::PostWithWindow, WM_RALIX_FLASH_FILE, 0},
                      CommandCase{32813, CommandKind::Post, WM_RAM_DUMP, 0},
                      CommandCase{32777, CommandKind::Post, WM_FLASH_IMAGE_FILE, 0},
                      CommandCase{32818, CommandKind::Post, WM_RECENT_FILE, 0},
                      CommandCase{32827, CommandKind::Post, WM_RECENT_FILE, 9},
                      CommandCase{32853, CommandKind::Post, WM_CUSTOM_MENU_ITEM, 0},
                      CommandCase{32868, CommandKind::Post, WM_CUSTOM_MENU_ITEM, 15},
                      CommandCase{32828, CommandKind::RowButton, 0, 0},
                      CommandCase{32847, CommandKind::RowButton, 0, 0},
                      CommandCase{32869, CommandKind::None, 0, 0},
                      CommandCase{32810, CommandKind::None, 0, 0}));

TEST(CommandTable, SingleDeviceCommandsCarryTheirRefusal) {
  EXPECT_EQ(PlanCommand(32772).refusal, "Error> Reverse flash is not available when multiple devices are connected");
  EXPECT_EQ(PlanCommand(32771).refusal, PlanCommand(32772).refusal);
  EXPECT_EQ(PlanCommand(32817).refusal, "Error> Flashpack Manager cannot be used with multiple devices connected");
}

TEST(MenuState, FlashSoftwareAndTheToolbarFollowThePendingReadBack) {
  EXPECT_TRUE(ComputeMenuState({true}).flashSoftwareEnabled);
  EXPECT_TRUE(ComputeMenuState({true}).toolbarEnabled);
  EXPECT_FALSE(ComputeMenuState({false}).flashSoftwareEnabled);
  EXPECT_FALSE(ComputeMenuState({false}).toolbarEnabled);
}

std::array<std::uint8_t, 256> Record(int port, int kind, int present) {
  std::array<std::uint8_t, 256> r{};
  std::memcpy(r.data(), "QuorUSB", 7);
  r[7] = static_cast<std::uint8_t>(port);
  r[8] = static_cast<std::uint8_t>(kind);
  r[9] = static_cast<std::uint8_t>(present);
  return r;
}

struct ChangeCase {
  int port;
  int kind;
  int present;
  std::size_t length;
  std::optional<UsbChange> expected;
};

class UsbChangeRecords : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(UsbChangeRecords, BecomeAttachOrRemoveForPhoneInterfacesOnly) {
  const auto& c = GetParam();
  auto r = Record(c.port, c.kind, c.present);
  EXPECT_EQ(ReadUsbChange(r.data(), c.length), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Records, UsbChangeRecords,
    ::testing::Values(ChangeCase{3, 2, 1, 26, UsbChange{WM_DEVICE_ATTACHED, 3, 2}},
                      ChangeCase{3, 2, 0, 10, UsbChange{WM_DEVICE_REMOVED, 3, 2}},
                      ChangeCase{126, 2, 1, 10, UsbChange{WM_DEVICE_ATTACHED, 126, 2}},
                      ChangeCase{127, 2, 1, 26, std::nullopt}, ChangeCase{255, 2, 0, 10, std::nullopt},
                      ChangeCase{3, 2, 1, 9, std::nullopt}, ChangeCase{3, 2, 0, 0, std::nullopt},
                      ChangeCase{3, 0, 1, 26, std::nullopt}, ChangeCase{3, 1, 1, 26, std::nullopt},
                      ChangeCase{3, 3, 1, 26, std::nullopt}, ChangeCase{3, 4, 0, 10, std::nullopt},
                      ChangeCase{3, 2, 2, 26, std::nullopt}));

TEST(UsbChangeRecords, NullRecordGivesNothing) { EXPECT_FALSE(ReadUsbChange(nullptr, 256).has_value()); }

}  // namespace

namespace {

struct CustomCase {
  unsigned flags;
  int family;
  bool enabled;
};

class CustomItems : public ::testing::TestWithParam<CustomCase> {};

TEST_P(CustomItems, AreGreyedForAFamilyTheyDoNotCarry) {
  EXPECT_EQ(CustomItemEnabled(GetParam().flags, GetParam().family), GetParam().enabled);
}

INSTANTIATE_TEST_SUITE_P(Families, CustomItems,
                         ::testing::Values(CustomCase{0x2, 1, true}, CustomCase{0x4, 1, false},
                                           CustomCase{0x4, 3, true}, CustomCase{0x8, 3, false},
                                           CustomCase{0x8, 2, true}, CustomCase{0x2, 2, false},
                                           CustomCase{0x0, 0, true}, CustomCase{0xE, 2, true}));

}  // namespace
