#pragma once
// Queueing the flash of one image file and the transfer of one file to the
// smartphone. Both run on the thread that asks the user (the pre-processing
// thread, its script commands and the update flash).

#include <memory>
#include <string>

#include "shell/requests/prompt_asker.h"

// What a caller may add to an image flash.
struct FlashImageExtras {
  // A file the user chose: refused with an error line (QUILLON_ERROR) when
  // it is not S-records; put at the head of the recent-files list (a path
  // longer than 4 characters ending in ".s19" that holds S-records) and its
  // folder made the current one. Temporary images are never remembered.
  bool rememberImage = true;
  // Held by the queued job (and by every copy the core thread makes of it)
  // until the job leaves the queue; a temporary image is deleted when the
  // last holder goes.
  std::shared_ptr<const void> keepAlive;
  // Logged under the device's name when the job ends well, or when it is
  // cancelled before that.
  std::string finishedNote;
  std::string cancelledNote;
};

// Queues one flash job (WM_FLASH) for the image. With auto erase off the
// user is asked for the sectors to erase first: Cancel queues nothing, abort
// (3) throws QUILLON_ERROR to the caller.
void FlashImageFile(IPromptAsker& asker, const std::string& path, const FlashImageExtras& extras = {});

// Queues one smartphone file-flash job (WM_RALIX_FLASH_FILE) for the
// smartphone; a ".bin" path (any case) becomes the head of the recent-files
// list and its folder the current directory.
void FlashSmartphoneFile(const std::string& path);
