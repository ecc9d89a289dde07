#pragma once
// The product-file download as the user-I/O thread calls it for
// WM_DOWNLOAD_PRODUCT_FILES: settings from the shared settings, and after a
// failure from the user the current product ({option 12, option 13}) is
// selected again through the user-I/O thread's own queue.

#include <functional>

class CAppSettings;

std::function<void(bool fromScript)> MakeProductDownload(const CAppSettings& settings);
