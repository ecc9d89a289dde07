#include "shell/download/kernel_version.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <vector>

#include "engine/images/srecord_file.h"
#include "shell/download/remote_text.h"

namespace {

struct FamilyKernel {
  std::string_view family;  // lower case
  const char* file;
};

constexpr std::array<FamilyKernel, 4> kFamilyKernels{{
    {"b1", "calderkrnl.s19"},
    {"68", "harrowkrnlu.s19"},
    {"49", "harrowkrnl.s19"},
    {"69", "biselkrnl.s19"},
}};

constexpr std::uint32_t kVersionBufferSize = 131072;
constexpr std::string_view kVersionMarker = "uKV Kernel Version ";

bool IsTwoDigits(std::string_view text) {
  return text.size() == 2 && std::isdigit(static_cast<unsigned char>(text[0])) &&
         std::isdigit(static_cast<unsigned char>(text[1]));
}

// The version text after the marker in data, up to a zero byte or its end.
std::string FindVersion(const std::uint8_t* data, std::uint32_t length) {
  const std::string_view block(reinterpret_cast<const char*>(data), length);
  const std::size_t marker = block.find(kVersionMarker);
  if (marker == std::string_view::npos) return "Unknown";
  const std::string_view rest = block.substr(marker + kVersionMarker.size());
  return std::string(rest.substr(0, rest.find('\0')));
}

}  // namespace

KernelVersion ParseKernelVersion(std::string_view code) {
  std::string text;
  for (char c : code) {
    if (c != '.') text.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  KernelVersion version;
  if (text.size() != 7 || (text[0] != 'd' && text[0] != 'i' && text[0] != 'r')) return version;
  const std::string_view view(text);
  if (!IsTwoDigits(view.substr(3, 2)) || !IsTwoDigits(view.substr(5, 2))) return version;
  version.kind = text[0];
  version.family = text.substr(1, 2);
  version.major = std::stoi(text.substr(3, 2));
  version.minor = std::stoi(text.substr(5, 2));
  return version;
}

std::string KernelFileForFamily(std::string_view family) {
  std::string lower(family);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  for (const auto& entry : kFamilyKernels) {
    if (entry.family == lower) return entry.file;
  }
  return {};
}

std::string ReadKernelFileVersion(const DownloadSettings& settings, const std::string& name) {
  std::string version = "Unknown";
  try {
    CSRecordFile file;
    file.OpenSRecordFile(InWorkingDirectory(settings, name), CSRecordFile::kModeRead);
    std::vector<std::uint8_t> buffer(kVersionBufferSize);
    std::uint32_t dataBlocks = 0, lastLength = 0;
    // The header, then two data blocks, the second read over the first.
    while (dataBlocks < 2) {
      std::uint32_t address = 0, type = 0, length = 0;
      file.ReadSRecordBlock(buffer.data(), kVersionBufferSize, address, type, length);
      if (type >= 7) break;  // the end of the image
      if (type == 0) continue;
      ++dataBlocks;
      lastLength = length;
    }
    if (dataBlocks > 0) version = FindVersion(buffer.data(), lastLength);
    file.CloseSRecordFile();
  } catch (SREC_EXCEPTION error) {
    settings.log(std::string("Error> ") + SRecordErrorText(error) + ". " + name);
  } catch (...) {
    settings.log("Error> An error occurred while trying to read the kernel version from file " + name);
  }
  return version;
}
