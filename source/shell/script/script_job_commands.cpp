// The script commands that queue a job for the core processing thread.

#include <memory>

#include "engine/core/app_settings.h"
#include "engine/core/job_request.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/status_report.h"
#include "engine/prompt/prompt_answer.h"
#include "engine/quillon_exception.h"
#include "shell/requests/job_building.h"
#include "shell/requests/sector_merge.h"
#include "shell/script/script_error.h"
#include "shell/script/script_interpreter.h"
#include "shell/script/script_numbers.h"
#include "shell/script/sector_ranges.h"
#include "shell/userio/prompt_kind.h"
#include "shell/text/upper_case.h"

namespace {

// The S-record writer needs this many bytes of a record for the address
// and checksum before any data fits.
constexpr int kMinimumRecordLength = 6;

bool IsDefault(const std::string& token) { return UpperCase(token) == "DEFAULT"; }

std::vector<std::string> TokensFrom(const ScriptTokens& tokens, std::size_t first) {
  return first < tokens.size() ? std::vector<std::string>(tokens.begin() + static_cast<std::ptrdiff_t>(first), tokens.end())
                               : std::vector<std::string>();
}

void RequireRs232(const char* text) {
  if (!Rs232Selected()) FailScript(text);
}

// A record length token: DEFAULT takes the application value; any other is
// read as a number and cut to 8 bits. Too short for any data is refused.
std::uint8_t RecordLength(const std::string& token, int defaultId) {
  const int length = IsDefault(token) ? GetAppSettings().GetAppInt(defaultId) & 0xFF
                                      : static_cast<int>(ScriptUnsignedNumber(token) & 0xFF);
  if (length < kMinimumRecordLength) FailScript("Error> record length " + std::to_string(length) + " is invalid");
  return static_cast<std::uint8_t>(length);
}

std::unique_ptr<FileJobPayload> FilePayload(const std::string& fileName) {
  auto payload = std::make_unique<FileJobPayload>();
  payload->imageFileName = fileName;
  payload->options = *SettingsOptions();
  return payload;
}

}  // namespace

void CScriptInterpreter::QueueScriptJob(std::uint32_t jobCode, JobPayload payload, DeviceNumber device) {
  auto request = std::make_unique<CJobRequest>(jobCode, std::move(payload), 1, context_.SecondRequest(),
                                               context_.Interactive());
  request->device = device;
  QueueAcceptedJob(std::move(request));
}

void CScriptInterpreter::QueueQuietJob(std::uint32_t jobCode, JobPayload payload, DeviceNumber device) {
  auto request = std::make_unique<CJobRequest>(jobCode, std::move(payload), 0, 1, 1);
  request->senderFlagA = 0;
  request->interactive = 0;
  request->device = device;
  QueueAcceptedJob(std::move(request));
}

void CScriptInterpreter::RequireAutoErase() {
  CAppSettings& settings = GetAppSettings();
  if (settings.GetIntParam(OPTION_AUTO_ERASE_FLASH) != 0) return;
  if (context_.Interactive() == 1 && context_.AskPrompt(PROMPT_ENABLE_AUTO_ERASE) == kAnswerYes) {
    settings.SetIntParam(OPTION_AUTO_ERASE_FLASH, 1);
    return;
  }
  FailScript("Error> Auto erase must be enabled to perform this operation");
}

void CScriptInterpreter::OnFlash(const ScriptTokens& tokens) {
  if (tokens.size() < 2) FailScript("Error> FLASH command missing filename");
  QueueScriptJob(WM_FLASH, FilePayload(context_.ExpandShortcut(tokens[1])), DeviceByProtocol());
}

void CScriptInterpreter::OnErase(const ScriptTokens& tokens) {
  if (tokens.size() < 2) FailScript("Error> ERASE command missing sector info");
  SectorList selection = GetAppSettings().GetSectorList();
  ParseSectorRanges(TokensFrom(tokens, 1), selection.sectors);
  QueueScriptJob(WM_ERASE, CopySettingsOptions(selection), DeviceByProtocol());
}

void CScriptInterpreter::OnReverseFlash(const ScriptTokens& tokens) {
  if (tokens.size() < 5) FailScript("Error> REVERSE_FLASH command incomplete");
  SectorList selection = GetAppSettings().GetSectorList();
  ParseSectorRanges(TokensFrom(tokens, 4), selection.sectors);
  std::uint32_t outputAddress = 0;
  if (IsDefault(tokens[2])) {
    const SectorEntry* first = nullptr;
    for (const auto& sector : selection.sectors) {
      if (sector.selected) {
        first = &sector;
        break;
      }
    }
    if (!first) FailScript("Error> no sectors selected for reverse flashing");
    outputAddress = first->address;
  } else {
    outputAddress = ScriptUnsignedNumber(tokens[2]);
  }
  const std::uint8_t recordLength = RecordLength(tokens[3], APP_INT_REVERSE_FLASH_RECORD_LENGTH);
  RegionListPtr regions = MakeRegionList();
  MergeSelectedSectors(*regions, selection);
  auto payload = std::make_unique<ReadBackPayload>();
  payload->outputAddress = outputAddress;
  payload->readBaseAddress = regions->Empty() ? 0 : (*regions)[0].address;
  payload->recordLength = recordLength;
  payload->outputFileName = tokens[1];
  payload->regions = std::move(regions);
  payload->options = *CopySettingsOptions(selection);
  QueueScriptJob(WM_REVERSE_FLASH, std::move(payload), DeviceByProtocol());
}

void CScriptInterpreter::OnOrvixFlash(const ScriptTokens& tokens) {
  RequireRs232("Error> Orvix Flash is only available in RS232 mode");
  if (tokens.size() < 2) FailScript("Error> ORVIX_FLASH command missing filename");
  QueueScriptJob(WM_ORVIX_FLASH, FilePayload(tokens[1]), SelectedSerialDevice());
}

void CScriptInterpreter::OnOrvixErase(const ScriptTokens&) {
  RequireRs232("Error> Orvix Erase is only available in RS232 mode");
  QueueScriptJob(WM_ORVIX_ERASE, SettingsOptions(), SelectedSerialDevice());
}

void CScriptInterpreter::OnOrvixReverseFlash(const ScriptTokens& tokens) {
  RequireRs232("Error> Orvix Reverse Flash is only available in RS232 mode");
  if (tokens.size() < 5) FailScript("Error> ORVIX_REVERSE_FLASH command incomplete");
  const std::uint8_t recordLength = RecordLength(tokens[4], APP_INT_ORVIX_RECORD_LENGTH);
  const std::uint32_t begin = ScriptUnsignedNumber(tokens[2]);
  const std::uint32_t end = ScriptUnsignedNumber(tokens[3]);
  if (end < begin) FailScript("Error> ORVIX_REVERSE_FLASH end address is below its begin address");
  RegionListPtr regions = MakeRegionList();
  regions->Add(begin, end - begin + 1);
  auto payload = std::make_unique<ReadBackPayload>();
  payload->outputAddress = begin;
  payload->readBaseAddress = begin;
  payload->reserved = end;
  payload->recordLength = recordLength;
  payload->outputFileName = tokens[1];
  payload->regions = std::move(regions);
  payload->options = *SettingsOptions();
  QueueScriptJob(WM_ORVIX_REVERSE_FLASH, std::move(payload), SelectedSerialDevice());
}

void CScriptInterpreter::OnProgramMagicKey(const ScriptTokens&) {
  QueueScriptJob(WM_PROGRAM_MAGIC_KEY, SettingsOptions(), DeviceByProtocol());
}

void CScriptInterpreter::OnCommCheck(const ScriptTokens&) {
  QueueScriptJob(WM_COMM_CHECK, SettingsOptions(), DeviceByProtocol());
}

void CScriptInterpreter::OnResetTarget(const ScriptTokens&) {
  QueueScriptJob(WM_RESET_TARGET, SettingsOptions(), DeviceByProtocol());
}

void CScriptInterpreter::OnTerminateApp(const ScriptTokens&) {
  auto request = std::make_unique<CJobRequest>(WM_SHUTDOWN, JobPayload(), 0, 1, 1);
  request->device = DEVICE_INDEPENDENT;
  PostToTarget<WM_QUEUE_JOB>(PT_CORE, std::move(request));
}

void CScriptInterpreter::OnDumpRam(const ScriptTokens& tokens) {
  if (!Rs232Selected() || GetAppSettings().GetIntParam(OPTION_DATA_RATE) != 0) {
    FailScript("Error> Ram dumps must be done using RS232 at 115200bps");
  }
  if (tokens.size() < 2) FailScript("Error> DUMP_RAM command incomplete");
  auto payload = std::make_unique<RamDumpPayload>();
  payload->outputFileName = tokens[1];
  payload->regions = MakeRegionList();
  payload->options = *SettingsOptions();
  QueueScriptJob(WM_RAM_DUMP, std::move(payload), SelectedSerialDevice());
}

void CScriptInterpreter::OnFlashpackExtract(const ScriptTokens&) {
  try {
    RequireAutoErase();
    QueueQuietJob(WM_FLASHPACK_EXTRACT, SettingsOptions(), DeviceByProtocol());
  } catch (...) {
    auto report = std::make_unique<StatusReport>();
    report->state = STATUS_ERROR;
    PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::move(report));
  }
}

void CScriptInterpreter::OnFlashpackAdd(const ScriptTokens& tokens) {
  if (tokens.size() < 2) FailScript("Error> FLASHPACK_ADD command missing filename");
  QueueQuietJob(WM_FLASHPACK_ADD, FilePayload(context_.ExpandShortcut(tokens[1])), DeviceByProtocol());
}

void CScriptInterpreter::OnFlashpackDelete(const ScriptTokens& tokens) {
  if (tokens.size() < 2) FailScript("Error> FLASHPACK_DELETE command missing flashpack number");
  auto payload = std::make_unique<FlashpackRemovePayload>();
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    payload->packIndices.push_back(static_cast<std::uint16_t>(ScriptSignedNumber(tokens[i])));
  }
  payload->options = *SettingsOptions();
  QueueQuietJob(WM_FLASHPACK_REMOVE, std::move(payload), DeviceByProtocol());
}

void CScriptInterpreter::OnFlashpackUpdateFlash(const ScriptTokens&) {
  QueueQuietJob(WM_FLASHPACK_UPDATE_FLASH, SettingsOptions(), DeviceByProtocol());
}
