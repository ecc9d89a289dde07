#pragma once
// Anything that messages can be posted to: a thread's queue or a window.

#include "platform/message.h"

namespace platform {

class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  // Never blocks. Returns false when the target no longer accepts messages;
  // the message (and its payload) is then destroyed by the caller's copy.
  virtual bool Post(Message& message) = 0;
};

}  // namespace platform
