#include "library_state.h"

namespace pellwick {

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
