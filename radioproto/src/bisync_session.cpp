#include "bisync_session.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "gantrel/gantrel.h"
#include "library_state.h"
#include "link_poster.h"

namespace gantrel {
namespace {

constexpr std::size_t kReadPiece = 50;
constexpr std::size_t kMaxRequest = 256;

BisyncAckType Next(BisyncAckType ack) {
  return ack == BisyncAckType::Ack1 ? BisyncAckType::Ack0 : BisyncAckType::Ack1;
}

}  // namespace

BisyncSession::BisyncSession(std::uint16_t id, std::shared_ptr<SerialLink> link, bool sync)
    : id_(id), link_(std::move(link)), sync_(sync), wait_(link_->port()) {
  parser_.Reset();
  thread_ = std::thread([this] { Run(); });
}

BisyncSession::~BisyncSession() { Stop(); }

void BisyncSession::Stop() {
  wait_.Interrupt();
  if (thread_.joinable()) thread_.join();
}

int BisyncSession::SendControl(std::uint8_t control) {
  const std::uint8_t pair[2] = {kDle, control};
  return link_->WriteFrame(pair, sizeof pair, false);
}

int BisyncSession::Write(const std::uint8_t* data, std::size_t length) {
  auto frame = EncodeBisyncFrame(data, length);
  if (!frame) return GANTREL_RC_FRAME_TOO_LONG;
  std::lock_guard sending(sendLock_);
  {
    std::lock_guard lock(state_);
    ack_.reset();
    awaitingAck_ = true;
  }
  auto finish = [this](int result) {
    std::lock_guard lock(state_);
    awaitingAck_ = false;
    ack_.reset();
    return result;
  };
  if (int r = link_->WriteFrame(frame->data(), frame->size())) return finish(r);
  int enquiries = 0;
  int resends = 0;
  while (enquiries < kBisyncEnquiries) {
    std::optional<BisyncAckType> answer;
    {
      std::unique_lock lock(state_);
      changed_.wait_for(lock, std::chrono::milliseconds(kBisyncAckWaitMs), [&] { return ack_.has_value(); });
      answer = ack_;
      ack_.reset();
    }
    if (!answer) {
      if (int r = SendControl(kEnq)) return finish(r);
      ++enquiries;
      continue;
    }
    if (*answer == expectedAck_) {
      expectedAck_ = Next(expectedAck_);
      return finish(0);
    }
    // A NAK, or the acknowledgement of the previous frame: this frame did not
    // arrive, so it goes again.
    if (++resends > kBisyncMaxResends) return finish(GANTREL_RC_NO_ACK);
    if (int r = link_->WriteFrame(frame->data(), frame->size())) return finish(r);
    enquiries = 0;
  }
  return finish(GANTREL_RC_NO_ACK);
}

int BisyncSession::Request(const std::uint8_t* request, std::size_t length, std::uint8_t* reply,
                           std::uint32_t* replyLength) {
  {
    std::lock_guard lock(state_);
    reply_.reset();
    request_.assign(request, request + std::min(length, kMaxRequest));
    waitingReply_ = true;
  }
  auto finish = [this](int result) {
    std::lock_guard lock(state_);
    waitingReply_ = false;
    request_.clear();
    return result;
  };
  if (int r = Write(request, length)) return finish(r);
  if (!sync_) return finish(0);
  std::unique_lock lock(state_);
  if (!changed_.wait_for(lock, std::chrono::milliseconds(kBisyncReplyWaitMs), [&] { return reply_.has_value(); })) {
    lock.unlock();
    return finish(GANTREL_RC_TIMEOUT);
  }
  const std::size_t room = replyLength ? *replyLength : 0;
  const std::size_t n = reply ? std::min(room, reply_->size()) : 0;
  if (n > 0) std::memcpy(reply, reply_->data(), n);
  if (replyLength) *replyLength = static_cast<std::uint32_t>(n);
  reply_.reset();
  lock.unlock();
  return finish(0);
}

bool BisyncSession::AnswersRequest(const std::vector<std::uint8_t>& message) const {
  return request_.size() >= 2 && message.size() >= 2 && message[0] == request_[0] &&
         message[1] == (request_[1] | 0x80);
}

void BisyncSession::Deliver(std::vector<std::uint8_t> message) {
  if (!sync_) {
    PostLinkData(MessageWindowOf(id_), id_, message.data(), message.size());
    return;
  }
  std::lock_guard lock(state_);
  if (!waitingReply_ || !AnswersRequest(message)) return;  // not the awaited reply: dropped
  reply_ = std::move(message);
  request_.clear();
  changed_.notify_all();
}

void BisyncSession::Handle(BisyncParser::Actions& actions) {
  if (!actions.send.empty()) link_->WriteFrame(actions.send.data(), actions.send.size(), false);
  if (actions.acknowledgement) {
    std::lock_guard lock(state_);
    // An acknowledgement that no frame waits for is a stray: ignored.
    if (awaitingAck_) {
      ack_ = actions.acknowledgement;
      changed_.notify_all();
    }
  }
  if (actions.purgeReceive) {
    std::lock_guard lock(link_->io());
    link_->port().Purge(platform::kPurgeRxClear);
  }
  if (actions.delivered) Deliver(std::move(*actions.delivered));
}

void BisyncSession::Run() {
  for (;;) {
    std::uint32_t error = 0;
    const auto outcome = wait_.Wait(&error);
    if (outcome == platform::SerialEventWait::Outcome::Interrupted) break;
    if (outcome == platform::SerialEventWait::Outcome::Failed) {
      PostLineStatus(Library().slots[id_].window.load(), id_, LINK_STATUS_DEVICE_GONE);
      break;
    }
    if (outcome == platform::SerialEventWait::Outcome::DsrChanged) {
      std::uint32_t bits = 0;
      {
        std::lock_guard lock(link_->io());
        link_->port().GetModemStatus(bits);
      }
      PostLineStatus(Library().slots[id_].window.load(), id_,
                     (bits & platform::kDsrOn) ? LINK_STATUS_DSR_ON : LINK_STATUS_DSR_OFF);
      continue;
    }
    for (;;) {
      auto bytes = link_->ReadQueued(kReadPiece, &error);
      if (bytes.empty()) break;
      for (std::uint8_t byte : bytes) {
        BisyncParser::Actions actions;
        parser_.Feed(byte, actions);
        Handle(actions);
      }
    }
  }
  std::lock_guard lock(link_->io());
  link_->port().Purge(platform::kPurgeRxClear);
}

}  // namespace gantrel
