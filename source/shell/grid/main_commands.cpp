#include "shell/grid/main_commands.h"

#include <array>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "shell/preproc/reverse_flash_request.h"
#include "shell/userio/prompt_kind.h"

namespace {

struct CommandRow {
  int id;
  CommandKind kind;
  std::uint32_t message;
  platform::WParam wParam;
  const char* refusal;
};


constexpr auto kCommands = std::to_array<CommandRow>({
    {ID_FLASH_SOFTWARE, CommandKind::FlashSoftware, WM_REVERSE_FLASH, 0, kReverseFlashRefusal},
    {ID_TOOL_FLASH_SOFTWARE, CommandKind::FlashSoftware, WM_REVERSE_FLASH, 0, kReverseFlashRefusal},
    // The user's own read-back asks what to read and where to save it.
    {ID_REVERSE_FLASH, CommandKind::SingleDevice, WM_REVERSE_FLASH, kChosenReadBackRequest, kReverseFlashRefusal},
    {ID_TOOL_REVERSE_FLASH, CommandKind::SingleDevice, WM_REVERSE_FLASH, kChosenReadBackRequest, kReverseFlashRefusal},
    {ID_ERASE, CommandKind::Post, WM_ERASE, 0, nullptr},
    {ID_TOOL_ERASE, CommandKind::Post, WM_ERASE, 0, nullptr},
    {ID_PROGRAM_MAGIC_KEY, CommandKind::Post, WM_PROGRAM_MAGIC_KEY, 0, nullptr},
    {ID_TOOL_MAGIC_KEY, CommandKind::Post, WM_PROGRAM_MAGIC_KEY, 0, nullptr},
    {ID_COMM_CHECK, CommandKind::Post, WM_COMM_CHECK, 0, nullptr},
    {ID_TOOL_COMM_CHECK, CommandKind::Post, WM_COMM_CHECK, 0, nullptr},
    {ID_RESET_TARGET, CommandKind::Post, WM_RESET_TARGET, 0, nullptr},
    {ID_RUN_SCRIPT, CommandKind::Post, WM_RUN_SCRIPT_FILE, 0, nullptr},
    {ID_ORVIX_FLASH, CommandKind::Post, WM_ORVIX_FLASH, 0, nullptr},
    {ID_ORVIX_ERASE, CommandKind::ConfirmChipErase, WM_ORVIX_ERASE, 0, nullptr},
    {ID_ORVIX_REVERSE_FLASH, CommandKind::Post, WM_ORVIX_REVERSE_FLASH, 0, nullptr},
    {ID_OPTIONS, CommandKind::Post, WM_USER_PROMPT, PROMPT_OPTIONS, nullptr},
    {ID_ABOUT, CommandKind::Post, WM_USER_PROMPT, PROMPT_ABOUT, nullptr},
    {ID_ERROR_REPORT, CommandKind::Post, WM_USER_PROMPT, PROMPT_ERROR_REPORT, nullptr},
    {ID_ORVIX_OPTIONS, CommandKind::Post, WM_USER_PROMPT, PROMPT_ORVIX_OPTIONS, nullptr},
    {ID_EXIT, CommandKind::Exit, 0, 0, nullptr},
    {ID_FLASHPACK_MANAGER, CommandKind::SingleDevice, WM_FLASHPACK_MANAGER, 0, kFlashpackManagerRefusal},
    {ID_FORMAT_FILE_SYSTEM, CommandKind::ConfirmFormat, WM_RALIX_FORMAT, 0, nullptr},
    {ID_FORMAT_FILE_SYSTEM_2, CommandKind::ConfirmFormat, WM_RALIX_FORMAT, 0, nullptr},
    {ID_RALIX_FLASH_FILE, CommandKind::PostWithWindow, WM_RALIX_FLASH_FILE, 0, nullptr},
    {ID_RAM_DUMP, CommandKind::Post, WM_RAM_DUMP, 0, nullptr},
    {ID_FLASH_FILE, CommandKind::Post, WM_FLASH_IMAGE_FILE, 0, nullptr},
    {ID_OPEN_WORKING_FOLDER, CommandKind::OpenWorkingFolder, 0, 0, nullptr},
});

CommandPlan PostToPreProcessing(std::uint32_t message, platform::WParam wParam) {
  CommandPlan plan;
  plan.kind = CommandKind::Post;
  plan.target = PT_PREPROCESSING;
  plan.message = message;
  plan.wParam = wParam;
  return plan;
}

}  // namespace

CommandPlan PlanCommand(int commandId) {
  if (commandId >= ID_FIRST_RECENT_FILE && commandId <= ID_LAST_RECENT_FILE)
    return PostToPreProcessing(WM_RECENT_FILE, static_cast<platform::WParam>(commandId - ID_FIRST_RECENT_FILE));
  if (commandId >= ID_FIRST_CUSTOM_ITEM && commandId <= ID_LAST_CUSTOM_ITEM)
    return PostToPreProcessing(WM_CUSTOM_MENU_ITEM, static_cast<platform::WParam>(commandId - ID_FIRST_CUSTOM_ITEM));
  if (commandId >= ID_FIRST_ROW_BUTTON && commandId <= ID_LAST_ROW_BUTTON) {
    CommandPlan plan;
    plan.kind = CommandKind::RowButton;
    return plan;
  }
  for (const auto& row : kCommands) {
    if (row.id != commandId) continue;
    CommandPlan plan;
    plan.kind = row.kind;
    plan.target = PT_PREPROCESSING;
    plan.message = row.message;
    plan.wParam = row.wParam;
    if (row.refusal) plan.refusal = row.refusal;
    return plan;
  }
  return {};
}
