#pragma once
// Posted with WM_FLASHPACK_STATUS to the pre-processing thread when a
// flashpack extract is done; passed on to the FlashPack Manager prompt. The
// pack manager is borrowed: the device object keeps owning it. The share
// keeps that same pack set alive for a reader on another thread even after
// a later extract has replaced it in the device object.

#include <memory>

#include "engine/core/device_number.h"

class CPackManager;

struct FlashpackStatusRecord {
  CPackManager* packManager = nullptr;  // borrowed
  DeviceNumber device = 0;
  std::shared_ptr<CPackManager> share;  // the same set, held
};
