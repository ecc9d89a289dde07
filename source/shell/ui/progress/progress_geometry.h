#pragma once
// The arithmetic of the text progress bar, apart from any widget: how wide
// its filled part is and what text it shows.

#include <string>

struct ProgressRange {
  int minimum = 0;
  int maximum = 100;
};

// The filled share of the bar, 0 to 1. An empty range (minimum not below
// maximum) gives 0, a position past the maximum 1, one below the minimum 0.
double ProgressFraction(int position, ProgressRange range);
// The filled part's width in pixels for a bar of the given width.
int ProgressFilledWidth(int position, ProgressRange range, int width);
// The text over the bar: the kept text, or the percentage when it is empty.
std::string ProgressCaption(const std::string& text, int position, ProgressRange range);
