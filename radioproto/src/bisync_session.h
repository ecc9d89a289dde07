#pragma once
// A bisync link on an open serial port: a reader thread that runs the
// receive state machine on the bytes as they come, acknowledges frames and
// delivers messages (to a waiting request on a sync link, else to the
// application's window), and the sending side with its acknowledgement wait.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "bisync_codec.h"
#include "platform/serial_events.h"
#include "serial_link.h"

namespace gantrel {

inline constexpr int kBisyncAckWaitMs = 400;
inline constexpr int kBisyncEnquiries = 5;
inline constexpr int kBisyncReplyWaitMs = 1000;
// A peer that refuses every copy of a frame does not keep the sender forever.
inline constexpr int kBisyncMaxResends = 8;

class BisyncSession {
 public:
  BisyncSession(std::uint16_t id, std::shared_ptr<SerialLink> link, bool sync);
  ~BisyncSession();
  BisyncSession(const BisyncSession&) = delete;
  BisyncSession& operator=(const BisyncSession&) = delete;

  // Sends one message and waits for its acknowledgement: 0, -7, -58 or a
  // system error number.
  int Write(const std::uint8_t* data, std::size_t length);
  // Sends a request; on a sync link waits for the reply whose first two
  // bytes answer it and copies at most *replyLength bytes of it.
  int Request(const std::uint8_t* request, std::size_t length, std::uint8_t* reply, std::uint32_t* replyLength);

  // Wakes the reader and joins it.
  void Stop();

 private:
  void Run();
  void Handle(BisyncParser::Actions& actions);
  void Deliver(std::vector<std::uint8_t> message);
  bool AnswersRequest(const std::vector<std::uint8_t>& message) const;
  int SendControl(std::uint8_t control);

  std::uint16_t id_;
  std::shared_ptr<SerialLink> link_;
  bool sync_;
  BisyncParser parser_;
  platform::SerialEventWait wait_;

  std::mutex sendLock_;  // one message in flight at a time
  std::mutex state_;
  std::condition_variable changed_;
  bool awaitingAck_ = false;
  std::optional<BisyncAckType> ack_;
  BisyncAckType expectedAck_ = BisyncAckType::Ack1;
  std::vector<std::uint8_t> request_;
  bool waitingReply_ = false;
  std::optional<std::vector<std::uint8_t>> reply_;

  std::thread thread_;
};

}  // namespace gantrel
