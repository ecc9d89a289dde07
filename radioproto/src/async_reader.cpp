#include "async_reader.h"

#include "library_state.h"
#include "link_poster.h"

namespace gantrel {

AsyncReader::AsyncReader(std::uint16_t id, std::shared_ptr<SerialLink> link)
    : id_(id), link_(std::move(link)), wait_(link_->port()) {
  thread_ = std::thread([this] { Run(); });
}

AsyncReader::~AsyncReader() { Stop(); }

void AsyncReader::Stop() {
  wait_.Interrupt();
  if (thread_.joinable()) thread_.join();
}

void AsyncReader::Run() {
  for (;;) {
    std::uint32_t error = 0;
    const auto outcome = wait_.Wait(&error);
    if (outcome == platform::SerialEventWait::Outcome::Interrupted) break;
    if (outcome == platform::SerialEventWait::Outcome::Failed) {
      if (error == platform::kErrorGenFailure) {
        PostLineStatus(Library().slots[id_].window.load(), id_, LINK_STATUS_DEVICE_GONE);
      }
      break;
    }
    if (outcome == platform::SerialEventWait::Outcome::DsrChanged) {
      ReportDsr();
      continue;
    }
    Deliver();
  }
  {
    std::lock_guard lock(link_->io());
    link_->port().Purge(platform::kPurgeRxClear);
  }
  ended_ = true;
}

void AsyncReader::Deliver() {
  std::uint32_t error = 0;
  auto bytes = link_->ReadQueued(kAsyncChunk, &error);
  if (!bytes.empty()) {
    PostLinkData(Library().slots[id_].window.load(), id_, bytes.data(), bytes.size());
  } else if (error != 0) {
    // Readable but nothing to read: the line has hung up.
    PostLineStatus(Library().slots[id_].window.load(), id_, LINK_STATUS_DEVICE_GONE);
    wait_.Interrupt();
  }
}

void AsyncReader::ReportDsr() {
  std::uint32_t bits = 0;
  {
    std::lock_guard lock(link_->io());
    link_->port().GetModemStatus(bits);
  }
  PostLineStatus(Library().slots[id_].window.load(), id_,
                 (bits & platform::kDsrOn) ? LINK_STATUS_DSR_ON : LINK_STATUS_DSR_OFF);
}

}  // namespace gantrel
