#include "shell/requests/job_building.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "engine/core/app_settings.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/status_report.h"

std::unique_ptr<CJobOptions> CopySettingsOptions(const SectorList& selection) {
  auto options = std::make_unique<CJobOptions>();
  options->SetAllParams(GetAppSettings().CopyParams());
  options->SetSectorList(selection);
  return options;
}

SectorList SettingsSectorSelection() { return GetAppSettings().GetSectorList(); }

std::unique_ptr<CJobOptions> SettingsOptions() { return CopySettingsOptions(SettingsSectorSelection()); }

bool Rs232Selected() { return GetAppSettings().GetIntParam(OPTION_COMM_PROTOCOL) == 0; }

DeviceNumber DeviceByProtocol() {
  if (Rs232Selected()) return SelectedSerialDevice();
  return DEVICE_UNASSIGNED;
}

DeviceNumber SelectedSerialDevice() {
  return GetAppSettings().GetIntParam(OPTION_SERIAL_PORT) + DEVICE_FIRST_COM;
}

std::unique_ptr<CJobRequest> MakeJobRequest(std::uint32_t jobCode, JobPayload payload, DeviceNumber device) {
  auto request = std::make_unique<CJobRequest>(jobCode, std::move(payload), /*senderFlagB=*/0,
                                               /*senderFlagA=*/1, /*interactive=*/1);
  request->device = device;
  return request;
}

bool QueueJobRequest(std::unique_ptr<CJobRequest> request) {
  return PostToTarget<WM_QUEUE_JOB>(PT_CORE, std::move(request)) != 0;
}

bool QueueAcceptedJob(std::unique_ptr<CJobRequest> request) {
  auto busy = std::make_unique<StatusReport>();
  busy->state = STATUS_BUSY;
  busy->text = kJobQueuedStatusText;
  busy->acceptsJob = true;
  if (request) request->acceptedLine = 1;
  PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::move(busy));
  return QueueJobRequest(std::move(request));
}

void RememberRecentFile(const std::string& path) {
  GetAppSettings().SetAppString(APP_STRING_RECENT_FILE, path);
}

void ChangeToFileFolder(const std::string& path) {
  const std::string::size_type cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return;
  std::error_code ignored;
  std::filesystem::current_path(path.substr(0, cut), ignored);
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  const std::size_t offset = text.size() - suffix.size();
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    const auto a = static_cast<unsigned char>(text[offset + i]);
    const auto b = static_cast<unsigned char>(suffix[i]);
    if (std::tolower(a) != std::tolower(b)) return false;
  }
  return true;
}
