#include "shell/update/update_log.h"

#include <cstdlib>

#include "shell/log/post_log_line.h"
#include "shell/update/update_flash.h"

namespace {

std::string Identity(const char* whose, const FirmwareIdentity& identity) {
  return std::string(whose) + " model " + identity.modelCode + ", firmware version " +
         ReadableVersion(identity.version);
}

bool AcceptedRadioModel(const std::string& model) { return model == kModelCode || model == kOtherRadioModelCode; }

std::string WhyNotUpdated(const std::optional<FirmwareIdentity>& radio, const std::optional<FirmwareIdentity>& update) {
  if (!radio) return "its model and firmware version are not in the read-back";
  if (!AcceptedRadioModel(radio->modelCode)) return "its model " + radio->modelCode + " does not take this update";
  if (!update) return "the update files' model and firmware version could not be read";
  if (update->modelCode != kModelCode) return "the update is for model " + update->modelCode;
  return "it is up to date (firmware version " + ReadableVersion(radio->version) + ", the update's is " +
         ReadableVersion(update->version) + ")";
}

}  // namespace

std::string ReadableVersion(const std::string& versionHex) {
  std::string text;
  for (std::size_t i = 0; i + 1 < versionHex.size(); i += 2) {
    const auto byte = static_cast<unsigned char>(std::strtoul(versionHex.substr(i, 2).c_str(), nullptr, 16));
    if (byte < 0x20 || byte > 0x7E) return versionHex;
    text += static_cast<char>(byte);
  }
  return text.empty() ? versionHex : text;
}

void UpdateLog::Line(const std::string& text) const { PostLogLine(GetDeviceName(device_) + "> " + text); }

void UpdateLog::Compared(const std::optional<FirmwareIdentity>& radio,
                         const std::optional<FirmwareIdentity>& update) const {
  Line(radio ? Identity("Radio", *radio) : "Radio model and firmware version not found in the read-back");
  if (!radio || !AcceptedRadioModel(radio->modelCode)) return;
  Line(update ? Identity("Update", *update) : "Update model and firmware version not found in the update files");
}

void UpdateLog::NotUpdated(const std::optional<FirmwareIdentity>& radio,
                           const std::optional<FirmwareIdentity>& update) const {
  Line("Flash Software ended: the radio was not updated: " + WhyNotUpdated(radio, update));
}

std::string UpdateLog::UpdatedNote(const FirmwareIdentity& radio, const FirmwareIdentity& update) const {
  return "Flash Software complete: the radio was updated from firmware version " + ReadableVersion(radio.version) +
         " to " + ReadableVersion(update.version);
}

std::string UpdateLog::CancelledNote(const FirmwareIdentity& update) const {
  return "Flash Software ended: the update to firmware version " + ReadableVersion(update.version) +
         " was cancelled before its end: the radio is not updated";
}

void UpdateLog::Updating(const FirmwareIdentity& radio, const FirmwareIdentity& update, int queued,
                         int total) const {
  const std::string from = ReadableVersion(radio.version);
  const std::string to = ReadableVersion(update.version);
  if (queued == total) {
    Line("Updating the radio from firmware version " + from + " to " + to + ": " + std::to_string(queued) +
         " images queued");
  } else if (queued == 0) {
    Line("Flash Software ended: the radio was not updated: no update image was queued");
  } else {
    Line("Flash Software: only " + std::to_string(queued) + " of " + std::to_string(total) +
         " update images were queued: the radio will not hold firmware version " + to + " in full");
  }
}
