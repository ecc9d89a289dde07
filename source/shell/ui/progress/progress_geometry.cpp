#include "shell/ui/progress/progress_geometry.h"

#include <algorithm>

double ProgressFraction(int position, ProgressRange range) {
  if (range.minimum >= range.maximum) return 0.0;
  const double fraction = (static_cast<double>(position) - range.minimum) /
                          (static_cast<double>(range.maximum) - range.minimum);
  return std::clamp(fraction, 0.0, 1.0);
}

int ProgressFilledWidth(int position, ProgressRange range, int width) {
  return static_cast<int>(ProgressFraction(position, range) * std::max(width, 0));
}

std::string ProgressCaption(const std::string& text, int position, ProgressRange range) {
  if (!text.empty()) return text;
  return std::to_string(static_cast<int>(ProgressFraction(position, range) * 100)) + "%";
}
