#pragma once
// The pre-processing thread (target 0): turns every user request - menu
// commands, dropped files, recent files, remote lines, script files - into
// jobs for the core thread. It checks each request's preconditions, asks
// the user through the user-I/O thread when it needs an answer (and then
// handles nothing else until the answer came), copies the options into the
// job and queues it. It never touches a device.
//
// Message parameters that other threads must follow:
//   WM_FLASH             wParam: the device whose read-back was saved. The
//                        update flash runs only when a "Flash Software"
//                        read-back (WM_REVERSE_FLASH) is pending for it.
//   WM_REVERSE_FLASH     wParam: kUpdateReadBackRequest (Flash Software's)
//                        or kChosenReadBackRequest (the user's own).
//   WM_FILES_DROPPED     payload: std::vector<std::string>, full paths.
//   WM_REMOTE_COMMAND    payload: std::string, one remote line.
//   WM_USER_PROMPT       wParam: the prompt kind to show.
//   WM_RECENT_FILE       wParam: the recent-files entry index.
//   WM_CUSTOM_MENU_ITEM  wParam: the custom-menu item index.
//   WM_FLASHPACK_STATUS  payload: FlashpackStatusRecord; lParam 1 when the
//                        request was not interactive.
//   WM_SELECT_PRODUCT, WM_DOWNLOAD_PRODUCT_FILES (to the user-I/O thread)
//   and WM_CANCEL_DEVICE, WM_RETRY_DEVICE (to the core thread) are passed
//   on unchanged, payload included.

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/core/device_number.h"
#include "engine/core/sector_list.h"
#include "platform/worker_thread.h"
#include "shell/preproc/preprocessing_dialogs.h"
#include "shell/preproc/reverse_flash_request.h"
#include "shell/preproc/script_runner.h"
#include "shell/requests/prompt_asker.h"

struct CustomCommandPayload;
struct FlashpackStatusRecord;

// What the user's own Reverse Flash reads: the sectors (selected flags
// set) and the S-record output's start address and record length.
struct ChosenReadBack {
  SectorList sectors;
  std::uint32_t outputAddress = 0;
  std::uint8_t recordLength = 0;
};
// The Reverse Flash dialog's answer (the settings' sectors followed by the
// dialog's own list) cut to the dialog's list.
SectorList ChosenReadBackSectors(const SectorList& answered);

// What the thread uses from the rest of the program; every member may be
// left empty.
struct PreprocessingServices {
  // Builds the script interpreter; without one a script file or remote line
  // fails with "Error> script commands are not available".
  ScriptRunnerFactory scriptRunner;
  // File dialogs and the overwrite box; without them, those of the
  // installed shell prompt service.
  std::shared_ptr<IPreprocessingDialogs> dialogs;
  // The target of a shortcut (a symbolic link), or the path itself.
  std::function<std::string(const std::string&)> expandShortcut;
  // Fills the label, command bytes, length and flags of custom-menu item N;
  // false when there is no such item.
  std::function<bool(std::size_t index, CustomCommandPayload& item)> customMenuItem;
  // The update flash after a "Flash Software" read-back of the device.
  std::function<void(IPromptAsker& asker, DeviceNumber device)> updateFlash;
};

class CPreProcessingThread : public platform::WorkerThread, private IPreprocessingHost {
 public:
  explicit CPreProcessingThread(PreprocessingServices services = {});
  ~CPreProcessingThread() override;

 protected:
  bool InitInstance() override;
  int ExitInstance() override;

 private:
  // IPreprocessingHost, for the script commands.
  int Interactive() const override { return interactive_; }
  int SecondRequest() const override { return secondRequest_; }
  IPromptAsker& Asker() override { return *asker_; }
  std::optional<platform::Message> WaitForReply(std::uint32_t number) override;
  CPackManager* FlashpackManager() const override { return packManager_; }

  void BuildMessageMap();
  // Runs a handler whose failure shows the error prompt.
  void WithErrorPrompt(const std::function<void()>& handler);

  void OnUpdateFlash(DeviceNumber device);
  void OnOrvixChipFlash();
  void OnErase();
  void OnOrvixChipErase();
  void OnReverseFlash();
  // Radio -> Reverse Flash...: asks what to read and where to save it.
  void OnChosenReverseFlash();
  std::optional<ChosenReadBack> AskWhatToRead();
  // Nothing was queued for the read-back that Flash Software asked for.
  void ReportReverseFlashRefused() const;
  void OnOrvixChipReverseFlash();
  void OnFlashPackExtract();
  void QueueOptionsJob(std::uint32_t jobCode);
  void OnRunScriptFile();
  void OnRerunScript();
  void OnAskUser(std::int32_t kind);
  void OnDropFiles(std::vector<std::string> paths);
  void OnRemoteCommand(const std::string& line);
  void OnRamDump();
  void OnFlashPackDone(std::unique_ptr<FlashpackStatusRecord> record, platform::LParam notInteractive);
  void OnRecentFile(int index);
  void OnFlashChosenImage();
  void OnCustomMenuItem(std::size_t index);
  void OnFormatFileSystemRequest();
  void OnSmartphoneFlashFile();
  void OnSmartphoneDisconnect(platform::WParam generation);

  // Dropped files, in their steps.
  std::vector<std::string> CopyDroppedMenuFiles(const std::vector<std::string>& paths);
  void CopyMenuFile(const std::string& source);
  std::optional<SectorList> DroppedFilesSelection(const std::vector<std::string>& paths);
  void QueueDroppedFile(const std::string& path, const SectorList& selection);

  void RequireRs232(const char* errorLine);
  void RunScriptFile(const std::string& path);
  std::optional<std::string> OpenFileDialog(const FileDialogSpec& spec);
  std::optional<std::string> SaveFileDialog(const FileDialogSpec& spec);
  std::string ExpandShortcut(const std::string& path) const;
  bool TakePendingUpdate(DeviceNumber device);

  PreprocessingServices services_;
  std::unique_ptr<IPromptAsker> asker_;
  std::unique_ptr<IScriptRunner> runner_;
  std::string lastScriptFile_;
  int interactive_ = 1;
  int secondRequest_ = 1;
  CPackManager* packManager_ = nullptr;
  // Devices (or -1 for every USB device) whose "Flash Software" read-back
  // was queued and has not led to an update flash yet.
  std::set<DeviceNumber> pendingUpdates_;
};
