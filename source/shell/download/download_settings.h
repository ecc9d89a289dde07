#pragma once
// What the product-file download and the kernel check need from their
// caller (the user-I/O thread): where files go, which server, where log
// lines go, and the HTTP settings.

#include <functional>
#include <string>

#include "platform/http_client.h"

using DownloadLog = std::function<void(const std::string&)>;

struct DownloadSettings {
  std::string workingDirectory;  // downloaded files are stored here
  std::string server;            // the server's base address (option 14)
  DownloadLog log;               // one call per log line
  platform::HttpGetOptions http;
};

// The server's base address without trailing "/" characters.
std::string ServerBase(const std::string& server);
// A file name in the working directory.
std::string InWorkingDirectory(const DownloadSettings& settings, const std::string& name);
