#pragma once
// The one dispatcher through which the program's thread messages are posted.
//
// A target names a receiver: the four worker threads by their entries in the
// target table (filled by the main dialog when it creates them), the main
// window by its handle, and the second window (the FlashPack Manager) by a
// holder that is set only while that dialog is open. Posting never waits for
// the receiver. Called from every thread, device worker threads and library
// callbacks included.

#include <cstdint>
#include <memory>

#include "platform/message.h"
#include "platform/target_registry.h"

enum PostTarget : std::int32_t {
  PT_PREPROCESSING = 0,
  PT_CORE = 1,
  PT_USER_IO = 2,
  PT_REMOTE_IO = 3,
  PT_MAIN_WINDOW = 4,
  PT_SECOND_WINDOW = 5,
};

inline constexpr int kWorkerThreadTargetCount = 4;

// Posts a message as it is: one forwarded unopened, or one whose number is
// chosen at run time from a table of plain-integer messages (the main
// dialog's commands and grid effects). Everything else posts through the
// typed forms below.
int PostToTarget(std::int32_t target, platform::Message message);

// Posts message M to the target; nonzero on success. What M carries is its
// entry in the message table (engine/core/messages.h): a record message
// hands its record over (the receiver takes it with Message::Take<M>() or
// through its map entry), a message without one carries plain integers.
// An out-of-range target, a worker thread that does not exist (yet) or has
// ended, and the second window while it is not open receive nothing and give
// 0. A record is freed when the post fails.
template <platform::MessageId M>
  requires platform::RecordMessage<M>
int PostToTarget(std::int32_t target, std::unique_ptr<platform::PayloadOf<M>> record,
                 platform::LParam lParam = 0) {
  return PostToTarget(target, platform::Message::Make<M>(std::move(record), lParam));
}
template <platform::MessageId M>
  requires platform::PlainMessage<M>
int PostToTarget(std::int32_t target, platform::WParam wParam = 0, platform::LParam lParam = 0) {
  return PostToTarget(target, platform::Message::Make<M>(wParam, lParam));
}

// The thread id of worker thread 0 to 3; 0 (no thread) for any other target
// or an entry that is not filled.
platform::ThreadId GetTargetThreadId(std::int32_t target);

// The target table. The main dialog fills the worker entries when it creates
// the threads; platform::kNoHandle empties an entry.
void SetTargetThread(std::int32_t target, platform::ThreadId id);
void SetMainWindow(platform::WindowHandle window);
void ClearMainWindow();
// The second-window holder, set while the FlashPack Manager dialog is open.
void SetSecondWindow(platform::WindowHandle window);
void ClearSecondWindow();
