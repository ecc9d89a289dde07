// The prompts of WM_USER_PROMPT, one function per kind: each fills the call
// it is given from the request and the settings, runs it, and on OK writes
// what was chosen to the asker's record or the settings.

#include <iterator>
#include <optional>
#include <utility>
#include <variant>

#include "engine/core/app_settings.h"
#include "engine/core/job_payloads.h"
#include "engine/core/orvix_read_back_range.h"
#include "engine/core/prompt_request.h"
#include "engine/core/sector_list.h"
#include "engine/prompt/prompt_service.h"
#include "shell/config/decimal_text.h"
#include "shell/userio/error_report_address.h"
#include "shell/userio/prompt_kind.h"
#include "shell/userio/user_io_thread.h"

namespace {

constexpr const char* kEnableAutoEraseText =
    "Auto erase flash memory is not enabled\r\nDo you wish to enable auto erase and continue";
constexpr const char* kCompleteText = "Processing complete";
constexpr const char* kRerunScriptText = "Processing complete. Rerun script?";

// The record of the type Record that the asker handed, null for none (or
// for a record of another type).
template <class Record>
Record* AskerRecordOf(const PromptRequest& request) {
  Record* const* record = std::get_if<Record*>(&request.askerRecord);
  return record != nullptr ? *record : nullptr;
}

template <class Data>
const Data& DialogOf(const PromptCall& call) {
  return std::get<Data>(call.dialog);
}

}  // namespace

int CUserIOThread::ShowPrompt(PromptRequest& request) {
  using Shower = int (CUserIOThread::*)(PromptRequest&, std::shared_ptr<PromptCall>);
  // By kind, 0 to 12.
  static constexpr Shower kShowers[] = {
      &CUserIOThread::ShowEraseSectors,     &CUserIOThread::ShowReverseFlashSectors,
      &CUserIOThread::ShowFlashpackManager, &CUserIOThread::ShowOrvixReverseFlash,
      &CUserIOThread::ShowOptions,          &CUserIOThread::ShowOrvixOptions,
      &CUserIOThread::ShowAbout,            &CUserIOThread::ShowErrorReport,
      &CUserIOThread::ShowEnableAutoErase,  &CUserIOThread::ShowError,
      &CUserIOThread::ShowRetryCancel,      &CUserIOThread::ShowComplete,
      &CUserIOThread::ShowRerunScript,
  };
  static_assert(std::size(kShowers) == kPromptKindCount, "one function for each prompt kind");

  auto call = std::make_shared<PromptCall>();
  call->kind = request.kind;
  call->caption = title_;
  // A request that names a device's pack set opens that device's FlashPack
  // Manager, whatever its kind.
  if (request.flashpackManager) return ShowFlashpackManager(request, std::move(call));
  if (request.kind < 0 || request.kind >= kPromptKindCount) return 0;  // shows nothing
  return (this->*kShowers[request.kind])(request, std::move(call));
}

int CUserIOThread::ShowEraseSectors(PromptRequest& request, std::shared_ptr<PromptCall> call) {
  const SectorList given = settings_.GetSectorList();
  call->dialog = EraseSectorsDialogData{given, given, request.subject};
  const int result = RunPrompt(call);
  if (SectorList* record = AskerRecordOf<SectorList>(request); result == kAnswerOk && record != nullptr) {
    *record = DialogOf<EraseSectorsDialogData>(*call).chosen;
  }
  return result;
}

int CUserIOThread::ShowReverseFlashSectors(PromptRequest& request, std::shared_ptr<PromptCall> call) {
  const SectorList given = settings_.GetSectorList();
  call->dialog = ReverseFlashDialogData{given, "", 21, given};
  const int result = RunPrompt(call);
  ReadBackPayload* payload = AskerRecordOf<ReadBackPayload>(request);
  if (result != kAnswerOk || payload == nullptr) return result;
  const auto& chosen = DialogOf<ReverseFlashDialogData>(*call);
  payload->outputAddress = ParseAutoBase(chosen.startAddress);
  payload->recordLength = chosen.recordLength;
  SectorList list = given;
  list.sectors.insert(list.sectors.end(), chosen.chosen.sectors.begin(), chosen.chosen.sectors.end());
  list.magicKeyPartition = chosen.chosen.magicKeyPartition;
  list.processorName = chosen.chosen.processorName;
  payload->options.SetSectorList(list);
  return result;
}

int CUserIOThread::ShowFlashpackManager(PromptRequest& request, std::shared_ptr<PromptCall> call) {
  call->kind = PROMPT_FLASHPACK_MANAGER;
  if (request.flashpackManager) {
    // The dialog holds the share; the request keeps none while it is open.
    call->dialog = FlashpackManagerDialogData{std::move(request.flashpackManager->packs),
                                              request.flashpackManager->device};
  } else {
    call->dialog = FlashpackManagerDialogData{};
  }
  return RunPrompt(std::move(call));
}

int CUserIOThread::ShowOrvixReverseFlash(PromptRequest& request, std::shared_ptr<PromptCall> call) {
  call->dialog = OrvixReverseFlashDialogData{};
  const int result = RunPrompt(call);
  if (OrvixReadBackRange* range = AskerRecordOf<OrvixReadBackRange>(request); result == kAnswerOk && range != nullptr) {
    const auto& chosen = DialogOf<OrvixReverseFlashDialogData>(*call);
    range->beginAddress = ParseAutoBase(chosen.beginAddress);
    range->endAddress = ParseAutoBase(chosen.endAddress);
    range->recordLength = chosen.recordLength;
  }
  return result;
}

int CUserIOThread::ShowOptions(PromptRequest&, std::shared_ptr<PromptCall> call) {
  call->dialog = OptionsDialogData{&settings_};
  const int result = RunPrompt(std::move(call));
  if (result == kAnswerOk) {
    OnApplyAlwaysOnTop();
    WriteConfiguration();
    ListenOnRemotePort();
  }
  return result;
}

int CUserIOThread::ShowOrvixOptions(PromptRequest&, std::shared_ptr<PromptCall> call) {
  call->dialog = OrvixOptionsDialogData{settings_.GetIntParam(OPTION_ORVIX_ENABLE_CHIP_SELECTION),
                                        settings_.GetIntParam(OPTION_ORVIX_CHIP_SELECT),
                                        settings_.GetIntParam(OPTION_ORVIX_CHIP_OFFSET),
                                        settings_.GetIntParam(OPTION_ORVIX_PROGRAMMING_OPTION)};
  const int result = RunPrompt(call);
  if (result == kAnswerOk) {
    const auto& chosen = DialogOf<OrvixOptionsDialogData>(*call);
    settings_.SetIntParam(OPTION_ORVIX_ENABLE_CHIP_SELECTION, chosen.enableChipSelection);
    settings_.SetIntParam(OPTION_ORVIX_CHIP_SELECT, chosen.chipSelect);
    settings_.SetIntParam(OPTION_ORVIX_CHIP_OFFSET, chosen.chipOffset);
    settings_.SetIntParam(OPTION_ORVIX_PROGRAMMING_OPTION, chosen.programmingOption);
    WriteConfiguration();
  }
  return result;
}

int CUserIOThread::ShowAbout(PromptRequest&, std::shared_ptr<PromptCall> call) {
  call->dialog = AboutDialogData{};
  return RunPrompt(std::move(call));
}

int CUserIOThread::ShowErrorReport(PromptRequest&, std::shared_ptr<PromptCall> call) {
  call->text = ErrorReportAddress(std::nullopt);
  call->dialog = ErrorReportData{};
  RunPrompt(std::move(call));
  return 0;
}

int CUserIOThread::ShowEnableAutoErase(PromptRequest&, std::shared_ptr<PromptCall> call) {
  return RunBox(std::move(call), kEnableAutoEraseText, kStyleYesNo | kIconQuestion);
}

int CUserIOThread::ShowError(PromptRequest& request, std::shared_ptr<PromptCall> call) {
  std::string text = request.boxText.empty() ? TakeErrorBoxText() : request.boxText;
  return RunBox(std::move(call), std::move(text), kStyleOk | kIconStop);
}

int CUserIOThread::ShowRetryCancel(PromptRequest&, std::shared_ptr<PromptCall> call) {
  return RunBox(std::move(call), TakeErrorBoxText(), kStyleRetryCancel | kIconStop);
}

int CUserIOThread::ShowComplete(PromptRequest&, std::shared_ptr<PromptCall> call) {
  return RunBox(std::move(call), kCompleteText, kStyleOk | kIconInformation);
}

int CUserIOThread::ShowRerunScript(PromptRequest&, std::shared_ptr<PromptCall> call) {
  return RunBox(std::move(call), kRerunScriptText, kStyleYesNo | kIconInformation);
}

int CUserIOThread::RunBox(std::shared_ptr<PromptCall> call, std::string text, std::uint32_t style) {
  call->text = std::move(text);
  call->style = style;
  return RunPrompt(std::move(call));
}
