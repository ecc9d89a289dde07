#pragma once
// One prompt as the prompt service sees it: a message box (caption, text,
// style) or a dialog of one prompt kind with the values it shows and fills.
// Dialogs work on values in, values out: the user-I/O thread fills the
// given values, the dialog writes its choice into the same record before it
// closes with OK, and the thread applies it.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "engine/core/device_number.h"
#include "engine/core/sector_list.h"
#include "shell/userio/prompt_kind.h"

class CAppSettings;
class CPackManager;

// Prompts that have no prompt kind of their own.
inline constexpr PromptKind kMessageBoxPrompt = -1;  // a plain box asked through the engine's bridge
inline constexpr PromptKind kFileOpenPrompt = -2;    // the file-open dialog of a product selection
// The save-file dialog: as the file-open dialog (title in the call's text,
// the filter and, on OK, the chosen path), for a file to be written; the
// asker asks about overwriting itself.
inline constexpr PromptKind kFileSavePrompt = -3;

// Message-box styles: buttons in the low four bits, the icon above them.
inline constexpr std::uint32_t kStyleOk = 0x0;
inline constexpr std::uint32_t kStyleOkCancel = 0x1;
inline constexpr std::uint32_t kStyleAbortRetryIgnore = 0x2;
inline constexpr std::uint32_t kStyleYesNoCancel = 0x3;
inline constexpr std::uint32_t kStyleYesNo = 0x4;
inline constexpr std::uint32_t kStyleRetryCancel = 0x5;
inline constexpr std::uint32_t kStyleButtonsMask = 0xF;
inline constexpr std::uint32_t kIconStop = 0x10;
inline constexpr std::uint32_t kIconQuestion = 0x20;
inline constexpr std::uint32_t kIconExclamation = 0x30;
inline constexpr std::uint32_t kIconInformation = 0x40;
inline constexpr std::uint32_t kIconMask = 0xF0;
// The second button is the default one (Enter presses it).
inline constexpr std::uint32_t kStyleDefaultButton2 = 0x100;

// Kind 0: given the settings' sector list; on OK `chosen` holds the dialog's
// sector entries and its two names. `image` names the file whose flash
// asks (empty for an erase of its own); the dialog's title shows it.
struct EraseSectorsDialogData {
  SectorList given;
  SectorList chosen;
  std::string image{};
};

// Kind 1: given the settings' sector list; on OK the dialog's start-address
// text, record length and sectors (all of them, with their selected flags
// and the two names).
struct ReverseFlashDialogData {
  SectorList given;
  std::string startAddress;
  std::uint8_t recordLength = 21;
  SectorList chosen;
};

// Kind 2: the device's pack set (held while the dialog shows it) and the device.
struct FlashpackManagerDialogData {
  std::shared_ptr<CPackManager> packs;
  DeviceNumber device = DEVICE_UNASSIGNED;
};

// Kind 3: on OK the two address texts and the record length.
struct OrvixReverseFlashDialogData {
  std::string beginAddress;
  std::string endAddress;
  std::uint8_t recordLength = 21;
};

// Kind 4: the dialog edits the shared settings itself when it closes with OK.
struct OptionsDialogData {
  CAppSettings* settings = nullptr;
};

// Kind 5: options 15 to 18, given and, on OK, chosen.
struct OrvixOptionsDialogData {
  int enableChipSelection = 0;
  int chipSelect = 0;
  int chipOffset = 0;
  int programmingOption = 0;
};

// Kind 6.
struct AboutDialogData {};

// Kind 7: the error-report page to show (its address is the call's text).
struct ErrorReportData {};

// The file-open dialog: title and filter ("Name (*.x)|*.x|All files|*.*||");
// on OK the chosen path.
struct FileOpenDialogData {
  std::string filter;
  std::string chosenPath;
};

using PromptDialogData =
    std::variant<std::monostate, EraseSectorsDialogData, ReverseFlashDialogData, FlashpackManagerDialogData,
                 OrvixReverseFlashDialogData, OptionsDialogData, OrvixOptionsDialogData, AboutDialogData,
                 ErrorReportData, FileOpenDialogData>;

struct PromptCall {
  PromptKind kind = kMessageBoxPrompt;
  std::string caption;       // the window title for every box
  std::string text;          // the box text; the page address for kind 7; the dialog title of a file dialog
  std::uint32_t style = 0;   // box style; 0 for dialogs
  PromptDialogData dialog;   // std::monostate for a message box
  std::string firstButton;   // a box's first button named for what it does; empty: its usual text
  std::string secondButton;  // the same for its second button

  bool IsMessageBox() const { return std::holds_alternative<std::monostate>(dialog); }
};

// The answer a prompt gets when nobody can give one: the box's negative or
// only answer (OK 1, Cancel 2, No 7, Abort 3), and Cancel (2) for a dialog.
int DefaultAnswerFor(const PromptCall& call);
