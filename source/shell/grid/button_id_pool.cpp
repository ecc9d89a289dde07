#include "shell/grid/button_id_pool.h"

#include <algorithm>

ButtonIdPool::ButtonIdPool() { inUse_.fill(false); }

std::optional<int> ButtonIdPool::Take() {
  for (std::size_t i = 0; i < inUse_.size(); ++i) {
    if (!inUse_[i]) {
      inUse_[i] = true;
      return kFirstRowButtonId + static_cast<int>(i);
    }
  }
  return std::nullopt;
}

void ButtonIdPool::Give(int id) {
  if (id < kFirstRowButtonId || id > kLastRowButtonId) return;
  inUse_[static_cast<std::size_t>(id - kFirstRowButtonId)] = false;
}

int ButtonIdPool::FreeCount() const {
  return static_cast<int>(std::count(inUse_.begin(), inUse_.end(), false));
}
