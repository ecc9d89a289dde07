#pragma once
// What a change of the grid asks of the window around it: thread messages
// to post, the overall status to report, Flash Software to give back, and
// which rows to redraw. The grid itself never posts or draws, so its
// decisions can be checked without threads or widgets.

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "engine/core/status_report.h"
#include "platform/message.h"

struct GridPost {
  std::int32_t target = 0;  // PostTarget
  std::uint32_t message = 0;
  platform::WParam wParam = 0;

  bool operator==(const GridPost&) const = default;
};

struct GridEffects {
  std::vector<GridPost> posts;
  std::optional<StatusReport> report;  // for the user-I/O thread
  bool flashReleased = false;          // Flash Software and the toolbar come back
  bool flashTaken = false;             // Flash Software's read-back runs again: they wait for it
  bool applyWanted = false;            // rows wait to be created or removed
  bool rowsChanged = false;            // rows were created or removed
  std::set<int> dirtyRows;             // rows whose controls changed
  std::vector<std::int32_t> withoutRow;  // devices that got no row: every row was taken

  void Merge(GridEffects other);
};
