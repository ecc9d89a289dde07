#pragma once
// The main window's commands: menu entries and toolbar buttons, recent
// files, custom menu items and row buttons, each turned into what it asks
// of the worker threads. Only the window runs them; the plan is plain data.

#include <cstdint>
#include <string>

#include "platform/message.h"

enum MainCommandId : int {
  ID_FLASH_SOFTWARE = 32771,
  ID_REVERSE_FLASH = 32772,
  ID_EXIT = 32773,
  ID_OPTIONS = 32774,
  ID_ABOUT = 32775,
  ID_PROGRAM_MAGIC_KEY = 32776,
  ID_FLASH_FILE = 32777,  // an image chosen in the file dialog, flashed as a recent file is
  ID_COMM_CHECK = 32783,
  ID_RESET_TARGET = 32788,
  ID_RUN_SCRIPT = 32790,
  ID_ERASE = 32793,
  ID_ORVIX_FLASH = 32796,
  ID_ORVIX_ERASE = 32797,
  ID_ORVIX_REVERSE_FLASH = 32798,
  ID_ORVIX_OPTIONS = 32801,
  ID_TOOL_MAGIC_KEY = 32805,
  ID_TOOL_FLASH_SOFTWARE = 32806,
  ID_TOOL_ERASE = 32807,
  ID_TOOL_REVERSE_FLASH = 32808,
  ID_TOOL_COMM_CHECK = 32809,
  ID_PRODUCT_SELECTOR = 32810,
  ID_RAM_DUMP = 32813,
  ID_ERROR_REPORT = 32816,
  ID_FLASHPACK_MANAGER = 32817,
  ID_FIRST_RECENT_FILE = 32818,
  ID_LAST_RECENT_FILE = 32827,
  ID_FIRST_ROW_BUTTON = 32828,
  ID_LAST_ROW_BUTTON = 32847,
  ID_FORMAT_FILE_SYSTEM = 32848,
  ID_FORMAT_FILE_SYSTEM_2 = 32849,
  ID_RALIX_FLASH_FILE = 32851,
  ID_FIRST_CUSTOM_ITEM = 32853,
  ID_LAST_CUSTOM_ITEM = 32868,
  ID_OPEN_WORKING_FOLDER = 32875,  // the working folder in the desktop's file manager
};

enum class CommandKind {
  None,            // not a command of the window
  Post,            // post message/wParam to the target
  SingleDevice,    // post only with fewer than 2 rows in use, else refuse with the error line
  FlashSoftware,   // the read-back that precedes the update flash
  Exit,            // end the window
  ConfirmFormat,   // ask "Format File System?", then post with the window handle
  ConfirmChipErase,  // ask "Erase GPS Chip?", then post
  PostWithWindow,  // post with the window handle as wParam
  RowButton,       // a grid row's Cancel or Retry
  OpenWorkingFolder,  // show the working folder in the desktop's file manager
};

struct CommandPlan {
  CommandKind kind = CommandKind::None;
  std::int32_t target = 0;
  std::uint32_t message = 0;
  platform::WParam wParam = 0;
  std::string refusal;  // SingleDevice: the error line when refused
};

CommandPlan PlanCommand(int commandId);

inline constexpr const char* kReverseFlashRefusal =
    "Error> Reverse flash is not available when multiple devices are connected";
inline constexpr const char* kFlashpackManagerRefusal =
    "Error> Flashpack Manager cannot be used with multiple devices connected";
