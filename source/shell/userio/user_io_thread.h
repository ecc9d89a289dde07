#pragma once
// The user-I/O thread (post target 2): it shows the prompts that other
// threads ask for, writes the log file, keeps the configuration file, reads
// the selected product file, answers the script interpreter's queries and
// SET, SAVE_OPTIONS and RESTORE_OPTIONS requests, and keeps the run status.
// All its work arrives as posted messages; every record that arrives is
// freed by its handler.
//
// While a prompt is open the thread keeps writing every log line that
// arrives and handles status reports and title texts; any other message
// waits, in order, until the prompt is answered, except the error box of the
// FlashPack Manager's own work, which opens over it at once.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/product/product_record.h"
#include "platform/worker_thread.h"
#include "shell/log/log_file.h"
#include "shell/prompt/shell_prompt_service.h"
#include "shell/userio/main_window_control.h"
#include "shell/userio/product_selection.h"
#include "shell/userio/query_request.h"
#include "shell/userio/run_state.h"

class CAppSettings;
struct PromptRequest;
struct StatusReport;

// What the thread calls in other parts of the program. The custom-menu
// loader and the download default to the shell's own (custom_menu/ and
// download/); each other seam may be left empty: the step then does nothing
// (the remote-I/O resume then reports a previous suspend count of 1).
struct UserIoSeams {
  // Loads the custom menu (before WM_REBUILD_CUSTOM_MENU goes to the window).
  std::function<void()> loadCustomMenu;
  // Downloads the product files (WM_DOWNLOAD_PRODUCT_FILES); the flag is set
  // when a script asked.
  std::function<void(bool fromScript)> downloadProductFiles;
  // Resumes the remote-I/O thread; returns the suspend count before it.
  std::function<int()> resumeRemoteIo;
  // The main window's title, foreground and z-order.
  std::shared_ptr<IMainWindowControl> mainWindow;
  // The prompt service; the installed one (GetShellPromptService) when null.
  std::shared_ptr<IShellPromptService> prompts;
  // The log's clock.
  CLogFile::Clock clock = CLogFile::LocalNow;
};

class CUserIOThread : public platform::WorkerThread {
 public:
  static constexpr const char* kRunTimeClassName = "CUserIOThread";

  explicit CUserIOThread(CAppSettings& settings, UserIoSeams seams = {});
  ~CUserIOThread() override;

  // Known once the thread has started (after InitInstance's step 3).
  std::string ConfigFilePath() const;
  std::string LogFilePath() const;

 protected:
  bool InitInstance() override;
  int ExitInstance() override;
  bool OnIdle(long count) override;

 private:
  void BuildMessageMap();

  // Handlers.
  // Binds message M; messages held back while a prompt was open are handled
  // right after the handler.
  template <platform::MessageId M, class F>
  void OnThenDrainDeferred(F handler);
  void OnUserPrompt(std::unique_ptr<PromptRequest> request);
  void OnSetOption(std::unique_ptr<std::vector<std::string>> tokens);
  void OnSaveOptions();
  void OnRestoreOptions();
  void OnStatusText(std::unique_ptr<std::string> text, platform::LParam count);
  void OnRefreshTitle();
  void OnLogLine(std::unique_ptr<std::string> text);
  void OnSelectProductFile(std::unique_ptr<ProductSelection> selection);
  void OnDownloadProductFiles(bool fromScript);
  void OnQuery(std::unique_ptr<QueryRequest> request);
  void OnApplyAlwaysOnTop();
  void OnQuit();
  void OnSetStatus(std::unique_ptr<StatusReport> report);
  void OnReloadCustomMenu();

  // Prompts: the one of the request's kind (user_io_prompts.cpp), with a
  // function for each kind that fills the call and runs it.
  int ShowPrompt(PromptRequest& request);
  int ShowEraseSectors(PromptRequest& request, std::shared_ptr<PromptCall> call);
  int ShowReverseFlashSectors(PromptRequest& request, std::shared_ptr<PromptCall> call);
  int ShowFlashpackManager(PromptRequest& request, std::shared_ptr<PromptCall> call);
  int ShowOrvixReverseFlash(PromptRequest& request, std::shared_ptr<PromptCall> call);
  int ShowOptions(PromptRequest& request, std::shared_ptr<PromptCall> call);
  int ShowOrvixOptions(PromptRequest& request, std::shared_ptr<PromptCall> call);
  int ShowAbout(PromptRequest& request, std::shared_ptr<PromptCall> call);
  int ShowErrorReport(PromptRequest& request, std::shared_ptr<PromptCall> call);
  int ShowEnableAutoErase(PromptRequest& request, std::shared_ptr<PromptCall> call);
  int ShowError(PromptRequest& request, std::shared_ptr<PromptCall> call);
  int ShowRetryCancel(PromptRequest& request, std::shared_ptr<PromptCall> call);
  int ShowComplete(PromptRequest& request, std::shared_ptr<PromptCall> call);
  int ShowRerunScript(PromptRequest& request, std::shared_ptr<PromptCall> call);
  int RunBox(std::shared_ptr<PromptCall> call, std::string text, std::uint32_t style);
  int RunPrompt(std::shared_ptr<PromptCall> call);
  int ShowBox(const std::string& text, std::uint32_t style, PromptKind kind = kMessageBoxPrompt);
  int AskOverwrite();
  void HandleWhilePromptOpen(platform::Message message);
  bool ShowsAtOnceWhilePromptOpen(const platform::Message& message) const;
  void KeepAnswerOfOuterPrompt(std::uint64_t serial, int answer);
  void DrainDeferred();
  // The text of an error box: the one kept when it was held back, else the
  // log's last error line.
  std::string TakeErrorBoxText();

  // Queries.
  std::string ChangeWorkingDirectory(const std::string& argument);
  std::string ListDirectory(const std::string& pattern) const;
  std::string ListProductTags() const;
  std::string GetFlashDetails() const;
  std::string QueueDeleteFile(const std::string& fileName);
  std::string QueryStatus(const std::string& argument);
  // STATUS RESET: clears a held ERROR; BUSY while accepted work remains.
  void ResetRunStatus();

  // Product selection.
  // What a product file that cannot be read leads to: the error box (start
  // and the user's own selection) or an exception for the caller to report
  // (a SET, whose failure is its reply).
  enum class ProductReadFailure { ShowErrorBox, Throw };
  void ReadProductFile(ProductReadFailure onFailure = ProductReadFailure::ShowErrorBox);
  bool ChooseProductFile(std::string& file, std::string& tag);
  void CopyProductFile(const std::string& source, const std::string& destination, const std::string& newName);
  void OfferCompanionFiles(const std::string& sourceFolder);

  void WriteConfiguration();
  void ListenOnRemotePort();
  void SetMainWindowTitle(const std::string& title);

  CAppSettings& settings_;
  UserIoSeams seams_;
  mutable std::mutex pathsMutex_;  // the two paths, read by other threads
  std::string logPath_;

  RunStatus status_;
  // Jobs of script and remote lines accepted so far; the core's DONE counts
  // those it received, so a DONE from before the latest one is ignored.
  std::int64_t jobsAccepted_ = 0;
  // Queued work (the core's or an accepted line's) has not ended yet: a
  // line's own DONE then leaves the state BUSY.
  bool workPending_ = false;
  std::string title_;
  std::string shownTitle_;
  std::string titlePrefix_;
  std::string configPath_;
  std::string workingDirectory_;
  std::optional<CLogFile> log_;
  CProductRecord product_;

  // Prompts being answered (innermost last), answers that came for an
  // outer one while an inner one was open, and the messages held back
  // meanwhile with, for an error box, its text of that moment.
  struct OpenPrompt {
    std::uint64_t serial;
    PromptKind kind;
  };
  struct DeferredMessage {
    platform::Message message;
    std::optional<std::string> boxText;
  };
  std::uint64_t promptSerial_ = 0;
  int promptDepth_ = 0;
  std::vector<OpenPrompt> openPrompts_;
  std::map<std::uint64_t, int> earlyAnswers_;
  std::deque<DeferredMessage> deferred_;
  std::optional<std::string> heldBoxText_;
};
