#include "shell/grid/grid_effects.h"

#include <iterator>

void GridEffects::Merge(GridEffects other) {
  posts.insert(posts.end(), std::make_move_iterator(other.posts.begin()),
               std::make_move_iterator(other.posts.end()));
  if (other.report) report = std::move(other.report);
  flashReleased = flashReleased || other.flashReleased;
  flashTaken = (flashTaken && !other.flashReleased) || other.flashTaken;
  applyWanted = applyWanted || other.applyWanted;
  rowsChanged = rowsChanged || other.rowsChanged;
  dirtyRows.insert(other.dirtyRows.begin(), other.dirtyRows.end());
  withoutRow.insert(withoutRow.end(), other.withoutRow.begin(), other.withoutRow.end());
}
