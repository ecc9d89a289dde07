#pragma once
// The update flash, the second half of "Flash Software": once the radio's
// read-back image is saved, the three scrambled update texts are turned
// into images, the radio's model code and version are compared with the
// new firmware's, and when the radio is of the right model and older, one
// flash job per image is queued.

#include <string>
#include <vector>

#include "engine/core/device_number.h"

#include "shell/requests/prompt_asker.h"

// The files of the update, in the current directory.
inline constexpr const char* kSuText = "su.txt";
inline constexpr const char* kCpText = "p5E00cp0_VAD3_Vexa20.txt";
inline constexpr const char* kLpText = "french_spanish.txt";
inline constexpr const char* kSuImage = "su.s19";
inline constexpr const char* kCpImage = "cp.s19";
inline constexpr const char* kLpImage = "lp.s19";

// The model code that the radio may carry and the one the firmware must carry.
inline constexpr const char* kModelCode = "4E383231";
inline constexpr const char* kOtherRadioModelCode = "52425231";

// Where the update texts were looked for, beyond the folder itself.
struct UpdateFolderContext {
  std::string workingFolder;
  bool lastImageFolder = false;  // the folder of the last image flashed, not the working folder
};

// The refusal when update texts cannot be opened: which ones and the folder
// searched (said to be the last image's folder when it is).
std::string UnreadUpdateTextsLine(const std::vector<std::string>& texts, const std::string& folder,
                                  const UpdateFolderContext& context);

// Runs the update flash on the asking thread for the device whose read-back
// was saved. Every refusal logs its "Error> " line and shows the error
// prompt; the device's own lines say what was compared and whether the
// radio is updated. The read-back image and the converted images are
// deleted on every path (a queued image when the last job holding it leaves
// the core thread's queue).
void RunUpdateFlash(IPromptAsker& asker, DeviceNumber device = DEVICE_UNASSIGNED);
