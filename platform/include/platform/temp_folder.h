#pragma once
// Fresh private folders below the system's temporary folder.

#include <string>

namespace platform {

// Creates <temp>/<prefix>XXXXXX with a unique ending; empty on failure.
std::string MakeTemporaryFolder(const std::string& prefix);

}  // namespace platform
