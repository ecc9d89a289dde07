// The line pacer: 10 bit times a byte, a schedule that continues while
// the line is busy, no byte leaving before the event it answers, and bytes
// passed on time leaving when due, never before.

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

// Every on-time piece returns no sooner than the line has carried it, and
// what each one reports late is how long after that it returned.
TEST(LinePacer, OnTimePiecesNeverLeaveEarly) {
  LinePacer line;
  for (int i = 0; i < 20; ++i) {
    const auto late = line.PassOnTime(10, 460800, Clock::now());  // about 217 us each
    const auto returned = Clock::now();
    EXPECT_GE(returned, line.FreeAt());
    EXPECT_GE(late, Clock::duration::zero());
    EXPECT_LE(late, returned - line.FreeAt());
  }
  EXPECT_EQ(line.PassOnTime(10, 0, Clock::now()), Clock::duration::zero());
}

// When the bytes a reader takes were there to be sent: a reader that had
// to wait got them as they came; bytes already waiting keep the schedule
// of those still on the line, however late the reader took them, but
// came no sooner than the input was last seen empty.
TEST(LinePacer, WaitingBytesKeepTheLinesScheduleWhateverTheReadersDelay) {
  LinePacer line;
  const auto start = Clock::now();
  line.Pass(2, 19200, start);  // on the line until start + 1 ms
  const auto busyUntil = line.FreeAt();
  struct Case {
    const char* name;
    bool wereWaiting;
    Clock::time_point seenEmpty;
    Clock::time_point readAt;
    Clock::time_point written;
  };
  const Case cases[] = {
      {"waited for: when read", false, start, start + milliseconds(40), start + milliseconds(40)},
      {"waiting, read late: the schedule", true, start - milliseconds(5), start + milliseconds(300), busyUntil},
      {"waiting after the line went quiet", true, busyUntil + milliseconds(20), busyUntil + milliseconds(90),
       busyUntil + milliseconds(20)},
  };
  for (const Case& c : cases) EXPECT_EQ(line.WrittenAt(c.wereWaiting, c.seenEmpty, c.readAt), c.written) << c.name;
}

}  // namespace
