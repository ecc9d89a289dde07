// The line pacer: 10 bit times a byte, a schedule that continues while
// the line is busy, and no byte leaving before the event it answers.

#include "radiosim/line_pacer.h"

#include <gtest/gtest.h>

namespace {

using radiosim::LinePacer;
using Clock = LinePacer::Clock;
using std::chrono::milliseconds;

TEST(LinePacer, TimeIsTenBitsAByte) {
  EXPECT_EQ(LinePacer::LineTime(46080, 460800), std::chrono::seconds(1));
  EXPECT_EQ(LinePacer::LineTime(1152, 115200), milliseconds(100));
  EXPECT_EQ(LinePacer::LineTime(100, 0), Clock::duration::zero());
}

TEST(LinePacer, BackToBackPiecesAddUp) {
  LinePacer line;
  const auto start = Clock::now();
  for (int i = 0; i < 20; ++i) line.Pass(96, 19200);  // 20 × 5 ms
  EXPECT_GE(Clock::now() - start, milliseconds(100));
  EXPECT_GE(line.FreeAt() - start, milliseconds(100));
}

TEST(LinePacer, StartsNoSoonerThanTheEventItFollows) {
  LinePacer line;
  const auto event = Clock::now() + milliseconds(30);
  line.Pass(192, 19200, event);  // 10 ms after the event
  EXPECT_GE(Clock::now(), event + milliseconds(10));
}

}  // namespace
