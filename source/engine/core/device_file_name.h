#pragma once
// The file a read-back writes when one request reads several devices: each
// device gets a file of its own, named after the file the request gave with
// the device's name added before the extension.

#include <string>

#include "engine/core/device_number.h"

// "rb.s19" for USB3 gives "rb_USB3.s19"; a name without an extension gets
// the device's name at its end ("rb" gives "rb_USB3"). Only the last dot of
// the file's own name (after the last '/' or '\') starts the extension, and
// a name whose only dot is its first character (".s19") has none. Folders
// in the name stay as they are.
std::string DeviceFileName(const std::string& fileName, DeviceNumber device);
