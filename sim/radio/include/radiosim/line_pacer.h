#pragma once
// One direction of a serial line at a bit rate: every byte takes 10 bit
// times (start, 8 data, stop). Pass() returns when the given bytes have
// had their time on the line after what went before them, so a front end
// that hands bytes on only after Pass() moves them no faster than a real
// line would. The line's schedule is kept in computed times, so late
// wake-ups do not add up: bytes start when the line is free or when they
// were there to be sent (when the host wrote them, or when the request a
// reply answers had arrived), whichever is later.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace radiosim {

class LinePacer {
 public:
  using Clock = std::chrono::steady_clock;

  // How long bytes take on a line of the bit rate.
  static Clock::duration LineTime(std::size_t bytes, std::uint32_t bitRate);

  // Returns how late it returned after the moment the bytes were carried
  // (the sleep's own overshoot), zero without a bit rate.
  Clock::duration Pass(std::size_t bytes, std::uint32_t bitRate, Clock::time_point notBefore);
  Clock::duration Pass(std::size_t bytes, std::uint32_t bitRate) { return Pass(bytes, bitRate, Clock::now()); }
  // As Pass, for the bytes the far end waits for (the last of an answer):
  // the sleep ends early by what such sleeps have lately overshot, and the
  // rest is waited out awake, so that they go when the line has carried
  // them rather than when the system wakes the thread.
  Clock::duration PassOnTime(std::size_t bytes, std::uint32_t bitRate, Clock::time_point notBefore);
  // When the last byte passed so far has been carried.
  Clock::time_point FreeAt() const { return free_; }

  // When bytes just taken from the far end's side were there to be sent.
  // Bytes the reader had to wait for came when they were read. Bytes that
  // were already waiting came no earlier than `notBefore` (the last moment
  // the input was seen empty, say); when they follow bytes still on the
  // line they keep its schedule, however late the reader woke up to take
  // them.
  Clock::time_point WrittenAt(bool wereWaiting, Clock::time_point notBefore, Clock::time_point readAt) const {
    return wereWaiting ? std::max(free_, notBefore) : readAt;
  }

 private:
  Clock::time_point free_{};
  Clock::duration wakeMargin_ = std::chrono::microseconds(50);
};

}  // namespace radiosim
