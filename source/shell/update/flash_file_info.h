#pragma once
// The new firmware's version (from "su.s19") and model code (from
// "cp.s19"), read out of the images converted from the update texts.

#include <optional>
#include <string>

#include "shell/update/firmware_identity.h"

// The version that the pointer at 0x100100CC of the su image points to
// (0x39 bytes on), in records of any equal length.
std::optional<std::string> ReadFlashFileVersion(const std::string& suPath);
// The model code after the first model marker of the cp image whose code
// begins like "4E383231".
std::optional<std::string> ReadFlashFileModelCode(const std::string& cpPath);
// Both; none when either is missing.
std::optional<FirmwareIdentity> GetFlashFileInfo(const std::string& suPath, const std::string& cpPath);
