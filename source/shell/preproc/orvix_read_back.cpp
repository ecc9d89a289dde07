// The GPS-chip read-back from the menu.

#include <cstdio>

#include "engine/core/job_payloads.h"
#include "engine/core/messages.h"
#include "engine/quillon_exception.h"
#include "shell/userio/prompt_kind.h"
#include "shell/preproc/preprocessing_thread.h"
#include "shell/requests/job_building.h"
#include "shell/log/post_log_line.h"
#include "shell/userio/prompt_kind.h"

namespace {


std::string RangeBelowBeginLine(const OrvixReadBackRange& range) {
  char line[160];
  std::snprintf(line, sizeof line, "Error> Orvix Reverse Flash end address 0x%08X lies below begin address 0x%08X",
                range.endAddress, range.beginAddress);
  return line;
}

}  // namespace

void CPreProcessingThread::OnOrvixChipReverseFlash() {
  RequireRs232("Error> Orvix Reverse Flash is only available in RS232 mode");
  OrvixReadBackRange range;
  const int answer = asker_->AskAndWait(PROMPT_ORVIX_REVERSE_FLASH, &range);
  if (answer == kAnswerAbort) {
    PostLogLine("Error> Orvix Reverse Flash operation aborted");
    throw QUILLON_ERROR;
  }
  if (answer != kAnswerOk) return;
  // A range that ends below its begin would wrap to a 4 GiB read.
  if (range.endAddress < range.beginAddress) {
    PostLogLine(RangeBelowBeginLine(range));
    throw QUILLON_ERROR;
  }
  auto path = SaveFileDialog({"s", "*.s", kSRecordFilter, "Save GPS chip read-back as ...", false});
  if (!path) return;
  auto payload = std::make_unique<ReadBackPayload>();
  payload->regions = MakeRegionList();
  payload->regions->Add(range.beginAddress, range.endAddress - range.beginAddress + 1);
  payload->outputAddress = range.beginAddress;
  payload->readBaseAddress = range.beginAddress;
  payload->reserved = range.endAddress;
  payload->recordLength = range.recordLength;
  payload->outputFileName = *path;
  payload->options = *CopySettingsOptions(SettingsSectorSelection());
  QueueJobRequest(MakeJobRequest(WM_ORVIX_REVERSE_FLASH, std::move(payload), SelectedSerialDevice()));
}
