#include "library_state.h"

#include "platform/target_registry.h"

namespace pellwick {

// The message thread's window and thread handles live in the platform's
// registry; touching it first makes it outlive this state at exit.
LibraryState::LibraryState() { platform::IsRegisteredThread(platform::kNoHandle); }

LibraryState& State() {
  static LibraryState state;
  return state;
}

TransferMark::TransferMark(StateLock& lock) : lock_(lock) {
  ++State().activeTransfers;
  lock_.unlock();
}

TransferMark::~TransferMark() {
  lock_.lock();
  --State().activeTransfers;
  State().changed.notify_all();
}

}  // namespace pellwick
