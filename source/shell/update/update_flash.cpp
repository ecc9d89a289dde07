#include "shell/update/update_flash.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "engine/core/app_settings.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "platform/file_io.h"
#include "shell/preproc/update_read_back.h"
#include "shell/requests/flash_requests.h"
#include "shell/log/post_log_line.h"
#include "shell/userio/prompt_kind.h"
#include "shell/update/flash_file_info.h"
#include "shell/update/radio_info.h"
#include "shell/update/update_log.h"
#include "shell/update/update_text_conversion.h"

namespace {

struct UpdatePair {
  const char* text;
  const char* image;
};

constexpr UpdatePair kUpdatePairs[] = {{kSuText, kSuImage}, {kCpText, kCpImage}, {kLpText, kLpImage}};
// The order in which the images are flashed.
constexpr const char* kFlashOrder[] = {kCpImage, kLpImage, kSuImage};

constexpr const char* kNoRadioInfo = "Error> unable to get radio information.";
constexpr const char* kModelMismatch =
    "Error> unable to flash due to model mismatch. Please choose the right tool to flash the radio.";
constexpr const char* kNoFlashFileInfo = "Error> unable to get flash file information.";
constexpr const char* kLatestFirmware = "Error> The radio has the latest firmware. The flash operation stops.";

// A converted image in the working directory, deleted when the last holder
// (the update itself, or a queued job) lets it go.
class TemporaryImage {
 public:
  explicit TemporaryImage(std::string path) : path_(std::move(path)) {}
  ~TemporaryImage() { platform::RemoveFile(path_); }
  TemporaryImage(const TemporaryImage&) = delete;
  TemporaryImage& operator=(const TemporaryImage&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::string CurrentFolder() {
  std::error_code ignored;
  return std::filesystem::current_path(ignored).string();
}

bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code ignored;
  return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, ignored);
}

// The update texts are read from the current folder, which File > Flash
// File... moves to the folder of the image it flashes.
UpdateFolderContext FolderContextNow() {
  const CAppSettings& settings = GetAppSettings();
  const std::string working = settings.GetAppString(APP_STRING_WORKING_DIRECTORY);
  const std::string recent = settings.GetAppString(APP_STRING_RECENT_FILE);
  const std::string current = CurrentFolder();
  UpdateFolderContext context;
  context.workingFolder = working;
  context.lastImageFolder =
      !SameFolder(current, working) && SameFolder(current, std::filesystem::path(recent).parent_path().string());
  return context;
}

std::string AbsolutePath(const char* name) {
  std::error_code ignored;
  return std::filesystem::absolute(name, ignored).string();
}

// The update texts that could not be opened, in the order su, cp, lp; their
// images are left out. (An image that cannot be written is found missing by
// the checks.)
std::vector<std::string> ConvertUpdateTexts() {
  std::vector<std::string> unread;
  for (const UpdatePair& pair : kUpdatePairs) {
    platform::RemoveFile(pair.image);
    if (!ConvertUpdateText(pair.text, pair.image) && !std::ifstream(pair.text, std::ios::binary).is_open()) {
      unread.emplace_back(pair.text);
    }
  }
  return unread;
}

void Refuse(const std::string& line) {
  PostLogLine(line);
  // The row of the radio that was read back ends with the reason.
  PostToTarget<WM_UPDATE_REFUSED>(PT_MAIN_WINDOW, std::make_unique<std::string>(line.substr(line.find("> ") + 2)));
  PostErrorPrompt();
}

// What the check found, for the lines that tell how Flash Software ended.
struct UpdateCheck {
  std::optional<FirmwareIdentity> radio;
  std::optional<FirmwareIdentity> firmware;
  std::string refusal;  // the reason to refuse the update, or empty to go ahead
};

// An update text that cannot be read stops the update before any image is
// flashed, so no radio is left with part of a new firmware.
UpdateCheck CheckUpdate(const std::vector<std::string>& unreadTexts) {
  UpdateCheck check;
  check.radio = GetRadioInfo(kUpdateReadBackFile);
  if (!check.radio) {
    check.refusal = kNoRadioInfo;
    return check;
  }
  if (check.radio->modelCode != kModelCode && check.radio->modelCode != kOtherRadioModelCode) {
    check.refusal = kModelMismatch;
    return check;
  }
  if (!unreadTexts.empty()) {
    check.refusal = UnreadUpdateTextsLine(unreadTexts, CurrentFolder(), FolderContextNow());
    return check;
  }
  check.firmware = GetFlashFileInfo(kSuImage, kCpImage);
  if (!check.firmware) {
    check.refusal = kNoFlashFileInfo;
  } else if (check.firmware->modelCode != kModelCode) {
    check.refusal = kModelMismatch;
  } else if (!(check.firmware->version > check.radio->version)) {
    check.refusal = kLatestFirmware;
  }
  return check;
}

// Returns how many images a job holds (a cancelled sector question or an
// abort leaves the others out). The last image's job ends the update: its
// end, or its cancellation, tells how Flash Software ended.
int QueueUpdateImages(IPromptAsker& asker, const UpdateLog& log, const FirmwareIdentity& radio,
                      const FirmwareIdentity& update) {
  std::vector<std::shared_ptr<TemporaryImage>> images;
  for (const char* name : kFlashOrder) images.push_back(std::make_shared<TemporaryImage>(AbsolutePath(name)));
  try {
    for (const auto& image : images) {
      FlashImageExtras extras{false, image, {}, {}};
      if (image == images.back()) {
        extras.finishedNote = log.UpdatedNote(radio, update);
        extras.cancelledNote = log.CancelledNote(update);
      }
      FlashImageFile(asker, image->Path(), extras);
    }
  } catch (...) {
    PostErrorPrompt();
  }
  // The images that no job holds go now; the others when their jobs go.
  return static_cast<int>(std::count_if(images.begin(), images.end(), [](const auto& image) {
    return image.use_count() > 1;
  }));
}

}  // namespace

void RunUpdateFlash(IPromptAsker& asker, DeviceNumber device) {
  const std::vector<std::string> unread = ConvertUpdateTexts();
  const UpdateCheck check = CheckUpdate(unread);
  const UpdateLog log(device);
  log.Compared(check.radio, check.firmware);
  if (!check.refusal.empty()) {
    for (const char* image : kFlashOrder) platform::RemoveFile(image);
    Refuse(check.refusal);
    log.NotUpdated(check.radio, check.firmware);
    return;
  }
  const int queued = QueueUpdateImages(asker, log, *check.radio, *check.firmware);
  log.Updating(*check.radio, *check.firmware, queued, static_cast<int>(std::size(kFlashOrder)));
}

std::string UnreadUpdateTextsLine(const std::vector<std::string>& texts, const std::string& folder,
                                  const UpdateFolderContext& context) {
  std::string names;
  for (const std::string& text : texts) names += (names.empty() ? "" : ", ") + text;
  std::string line = std::string(kNoFlashFileInfo) + " Source file could not be opened: " + names + " in the folder " +
                     folder;
  if (context.lastImageFolder) {
    std::string working = context.workingFolder;
    while (working.size() > 1 && working.back() == '/') working.pop_back();
    line += ", the folder of the last image flashed (File \u2192 Flash File...), not the working folder " + working;
  }
  return line + ".";
}
