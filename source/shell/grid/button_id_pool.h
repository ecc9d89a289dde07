#pragma once
// The command ids that the grid's row buttons use: 20 ids, two per row
// (Cancel and Retry), taken when a row is created and given back when it
// is destroyed.

#include <array>
#include <optional>

inline constexpr int kFirstRowButtonId = 32828;
inline constexpr int kLastRowButtonId = 32847;

class ButtonIdPool {
 public:
  ButtonIdPool();
  // The lowest free id, now in use; none when every id is taken.
  std::optional<int> Take();
  void Give(int id);
  int FreeCount() const;

 private:
  std::array<bool, kLastRowButtonId - kFirstRowButtonId + 1> inUse_{};
};
