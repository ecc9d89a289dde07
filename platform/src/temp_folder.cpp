#include "platform/temp_folder.h"

#include <stdlib.h>

#include <filesystem>
#include <vector>

namespace platform {

std::string MakeTemporaryFolder(const std::string& prefix) {
  std::error_code ec;
  auto base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string pattern = (base / (prefix + "XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) return {};
  return std::string(buffer.data());
}

}  // namespace platform
