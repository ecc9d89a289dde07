#pragma once
// The radio's model code and firmware version, read out of the image that
// the "Flash Software" read-back saved.

#include <optional>
#include <string>

#include "shell/update/firmware_identity.h"

// Reads the read-back image (S3 records with 16 data bytes) and deletes it,
// whatever the outcome. None when the version pointer, the version or an
// accepted model code cannot be found within the scan limits.
std::optional<FirmwareIdentity> GetRadioInfo(const std::string& readBackPath);
// The reading alone, without deleting the file.
std::optional<FirmwareIdentity> ReadRadioInfo(const std::string& readBackPath);
