// The user's own Reverse Flash from the menu: the whole flash or chosen
// sectors, into a file the user names (never over a file without asking).

#include <algorithm>

#include "engine/core/app_settings.h"
#include "engine/core/job_payloads.h"
#include "engine/core/messages.h"
#include "engine/quillon_exception.h"
#include "shell/log/post_log_line.h"
#include "shell/preproc/preprocessing_thread.h"
#include "shell/requests/job_building.h"
#include "shell/requests/sector_merge.h"
#include "shell/userio/prompt_kind.h"

namespace {

constexpr const char* kWholeFlashQuestion =
    "Read the whole flash, or choose the sectors to read?";
const QuestionButtons kWholeOrChosenButtons{"Read &Whole Flash", "&Choose Sectors", false};
constexpr const char* kNoSectorsLine = "Error> no sectors selected for reverse flashing";
constexpr const char* kNoProductLine = "Error> No product is selected";
constexpr const char* kDefaultFileName = "rev_flash.s19";

bool AnySelected(const SectorList& selection) {
  return std::any_of(selection.sectors.begin(), selection.sectors.end(),
                     [](const SectorEntry& sector) { return sector.selected != 0; });
}

}  // namespace

// The dialog's answer lists the settings' sectors followed by the dialog's
// own copy of them with the user's choice: the second half is the choice.
SectorList ChosenReadBackSectors(const SectorList& answered) {
  SectorList chosen = answered;
  const auto half = static_cast<std::ptrdiff_t>(answered.sectors.size() / 2);
  chosen.sectors.erase(chosen.sectors.begin(), chosen.sectors.begin() + half);
  return chosen;
}

std::optional<ChosenReadBack> CPreProcessingThread::AskWhatToRead() {
  SectorList selection = SettingsSectorSelection();
  if (selection.sectors.empty()) {
    PostLogLine(kNoProductLine);
    throw QUILLON_ERROR;
  }
  const int whole = services_.dialogs->AskYesNoCancel(kWholeFlashQuestion, kWholeOrChosenButtons);
  if (whole == kAnswerYes) {
    for (SectorEntry& sector : selection.sectors) sector.selected = 1;
    const auto recordLength =
        static_cast<std::uint8_t>(GetAppSettings().GetAppInt(APP_INT_REVERSE_FLASH_RECORD_LENGTH));
    return ChosenReadBack{selection, selection.sectors.front().address, recordLength};
  }
  if (whole != kAnswerNo) return std::nullopt;
  ReadBackPayload answered;
  const int answer = asker_->AskAndWait(PROMPT_REVERSE_FLASH_SECTORS, &answered);
  if (answer == kAnswerAbort) throw QUILLON_ERROR;
  if (answer != kAnswerOk) return std::nullopt;
  SectorList chosen = ChosenReadBackSectors(answered.options.GetSectorList());
  if (!AnySelected(chosen)) {
    PostLogLine(kNoSectorsLine);
    throw QUILLON_ERROR;
  }
  return ChosenReadBack{std::move(chosen), answered.outputAddress, answered.recordLength};
}

void CPreProcessingThread::OnChosenReverseFlash() {
  std::optional<ChosenReadBack> what = AskWhatToRead();
  if (!what) return;
  auto path = SaveFileDialog({"s19", kDefaultFileName, kReadBackFileFilter, "Save reverse flash as ...", true});
  if (!path) return;
  auto payload = std::make_unique<ReadBackPayload>();
  payload->regions = MakeRegionList();
  MergeSelectedSectors(*payload->regions, what->sectors);
  payload->outputAddress = what->outputAddress;
  payload->readBaseAddress = (*payload->regions)[0].address;
  payload->reserved = 0;
  payload->recordLength = what->recordLength;
  payload->outputFileName = *path;
  payload->options = *CopySettingsOptions(what->sectors);
  QueueJobRequest(MakeJobRequest(WM_REVERSE_FLASH, std::move(payload), DeviceByProtocol()));
}
