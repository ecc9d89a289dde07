#pragma once
// The kernel check: the server's kernel list ("/kernel/kernel_list.txt"
// below its base address) names kernel files whose names begin with their
// version code; a listed kernel whose minor number is above that of the
// local kernel file of its family (a local kernel of kind "i" excepted) is
// offered once as an update, and with the user's Yes every such kernel is
// fetched over the local file.

#include <cstdint>
#include <functional>
#include <string>

#include "shell/download/download_settings.h"

// Shows a message box with the text and style and returns the answer
// (6 Yes, 7 No, 1 OK).
using KernelUpdateBox = std::function<int(const std::string& text, std::uint32_t style)>;

inline constexpr std::uint32_t kKernelBoxOk = 0x00;
inline constexpr std::uint32_t kKernelBoxYesNoInformation = 0x44;

// False when the check ended with a failure after the user's Yes (or when a
// file could not be saved); a list that cannot be read is logged and ends
// the check normally.
bool CheckKernelUpdates(const DownloadSettings& settings, const KernelUpdateBox& showBox);
