#include "engine/core/device_file_name.h"

std::string DeviceFileName(const std::string& fileName, DeviceNumber device) {
  const std::string::size_type separator = fileName.find_last_of("/\\");
  const std::string::size_type nameStart = separator == std::string::npos ? 0 : separator + 1;
  std::string::size_type dot = fileName.rfind('.');
  if (dot == std::string::npos || dot <= nameStart) dot = fileName.size();
  return fileName.substr(0, dot) + "_" + GetDeviceName(device) + fileName.substr(dot);
}
