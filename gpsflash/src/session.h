#pragma once
// The library-wide state of the one session per process.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "block_coders.h"
#include "flash_engine.h"
#include "flash_parts.h"
#include "frame_link.h"
#include "target_requests.h"

namespace ambrel {

enum class LastOperation { None, Program, Erase, Read };

struct Session {
  std::atomic<bool> open{false};
  bool settingsKnown = false;  // an Ambrel_Init_Ex got past its argument checks
  bool partKnown = false;      // an Ambrel_Init_Ex detected the part
  std::string portText;
  std::uint32_t rate = 38400;
  std::uint32_t divisor = 1;
  std::uint8_t chipSelect = 0;
  std::uint32_t base = 0;
  std::vector<FlashPartRecord> parts;
  FlashPartRecord part;
  SectorMap sectors;
  bool driverLoaded = false;
  std::uint32_t nextOpenRate = 38400;
  std::atomic<LastOperation> lastOperation{LastOperation::None};
  int lastErrorCode = 0;
  std::string lastErrorText;

  FrameLink link;
  TargetRequests requests{link};
  BlockCoders coders;
  ProgressFigures progress;
  FlashEngine engine{requests, coders, progress};
};

Session& TheSession();

}  // namespace ambrel
