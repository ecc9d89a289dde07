#include "shell/remote/remote_io_thread.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "engine/core/app_settings.h"
#include "engine/core/device_event.h"
#include "engine/core/device_number.h"
#include "engine/core/file_transfer_request.h"
#include "engine/core/finish_record.h"
#include "engine/core/job_request.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"
#include "shell/log/post_log_line.h"
#include "shell/remote/file_transfer.h"
#include "shell/remote/remote_reply_line.h"
#include "shell/remote/socket_error_text.h"
#include "shell/requests/job_building.h"
#include "shell/script/script_error.h"

namespace {

// Readiness of a socket (wParam: its tag). Outside the program's block of
// thread messages; only this thread's notifier posts it.
constexpr std::uint32_t kSocketReadyMessage = WM_USER + 0x300;
constexpr std::uintptr_t kListenerTag = 1;
constexpr std::uintptr_t kFirstPeerTag = 2;
constexpr int kBacklog = 5;
constexpr std::size_t kReceiveSize = 1024;
// A client that takes no reply bytes for this long is disconnected.
constexpr std::chrono::milliseconds kSendTimeout = std::chrono::seconds(60);
constexpr const char* kSendTimeoutVariable = "QUILLON_REMOTE_SEND_TIMEOUT_MS";
// What the kernel keeps for a client that does not read; the rest waits in
// the client's output queue, where the cap applies.
constexpr int kPeerSendBuffer = 256 * 1024;

std::chrono::milliseconds SendTimeoutSetting() {
  const char* text = std::getenv(kSendTimeoutVariable);
  if (text == nullptr || *text == '\0') return kSendTimeout;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value <= 0) return kSendTimeout;
  return std::chrono::milliseconds(value);
}

long WholeSeconds(std::chrono::milliseconds time) {
  return static_cast<long>((time.count() + 999) / 1000);
}

}  // namespace

// The notifier posts it with the number it was given (platform::SocketNotifier
// serves any thread), so only the receiving side reads the table.
template <>
struct platform::MessagePayload<kSocketReadyMessage> : platform::CarriesNoRecord {};

struct CRemoteIOThread::Transfer {
  std::thread thread;
  std::atomic<bool> finished{false};
};

CRemoteIOThread::CRemoteIOThread() : sendTimeout_(SendTimeoutSetting()) { BuildMessageMap(); }

CRemoteIOThread::~CRemoteIOThread() {
  JoinFinishedTransfers(true);
}

void CRemoteIOThread::BuildMessageMap() {
  Map()
      .On<kSocketReadyMessage>([this](platform::Message& m) { OnSocketReady(m.wParam, m.lParam); })
      .On<WM_REMOTE_ACCEPT>([this] { OnRemoteAccept(); })
      .On<WM_REMOTE_SEND>([this](std::unique_ptr<std::string> line) { OnRemoteSend(std::move(line)); })
      .On<WM_REMOTE_RECEIVE>([this](std::unique_ptr<std::string> text) { OnRemoteReceive(std::move(text)); })
      .On<WM_REMOTE_CLOSED>([this](platform::Message& m) { OnRemoteClosed(m.wParam); })
      .On<WM_REMOTE_LINES_DONE>([this](platform::Message& m) { OnRemoteLinesDone(m.wParam); })
      .On<WM_FILE_TRANSFER>(
          [this](std::unique_ptr<std::vector<std::string>> arguments) { OnFileTransfer(std::move(arguments)); })
      .On<WM_REMOTE_FILE_TRANSFER>(
          [this](std::unique_ptr<FileTransferRequest> request) { OnStartFileTransfer(std::move(request)); })
      .On<WM_REMOTE_LISTEN>([this] { OnRemoteListen(); })
      .On<WM_QUIT_THREAD>([this] { PostQuitMessage(0); });
}

bool CRemoteIOThread::InitInstance() {
  SetPeerConnected(false);
  peer_.reset();
  nextPeerTag_ = kFirstPeerTag;
  notifier_ = std::make_unique<platform::SocketNotifier>(Id(), kSocketReadyMessage);
  ListenForClients();
  return true;  // without a listener no client comes, but the thread still takes its messages
}

// On every local address, or only on the one the command line named.
void CRemoteIOThread::ListenForClients() {
  const int port = GetAppSettings().GetIntParam(OPTION_REMOTE_PORT);
  const std::string address = GetAppSettings().GetAppString(APP_STRING_REMOTE_ADDRESS);
  requestedPort_ = port;
  int error = 0;
  listener_ = platform::TcpListener::Listen(static_cast<std::uint16_t>(port), kBacklog, &error, address);
  if (!listener_.Valid()) {
    PostLogLine(SocketErrorText(error));
    if (!address.empty()) {
      PostLogLine("Error> Unable to listen for remote connections on " + address + " port " + std::to_string(port));
    }
    return;
  }
  listeningPort_ = listener_.Port();
  notifier_->Watch(kListenerTag, listener_);
}

// A new port from the options is listened on at once. The old listener
// stays until the new one listens, so a port that cannot be had leaves
// remote control, and the setting, where they were; a connected client
// stays connected.
void CRemoteIOThread::OnRemoteListen() {
  const int port = GetAppSettings().GetIntParam(OPTION_REMOTE_PORT);
  if (port == requestedPort_ && listener_.Valid()) return;
  const std::string address = GetAppSettings().GetAppString(APP_STRING_REMOTE_ADDRESS);
  int error = 0;
  platform::TcpListener replacement =
      platform::TcpListener::Listen(static_cast<std::uint16_t>(port), kBacklog, &error, address);
  if (!replacement.Valid()) {
    // The port that listens stays the setting, so that it is the one saved
    // and shown again in the options, not the port that was refused.
    if (listener_.Valid()) {
      requestedPort_ = listeningPort_.load();
      GetAppSettings().SetIntParam(OPTION_REMOTE_PORT, requestedPort_);
    }
    PostLogLine(SocketErrorText(error));
    const std::string stays = listener_.Valid()
                                  ? "; remote control stays on port " + std::to_string(listeningPort_.load())
                                  : std::string();
    PostLogLine("Error> Unable to listen for remote connections on port " + std::to_string(port) + stays);
    return;
  }
  notifier_->Forget(kListenerTag);
  listener_ = std::move(replacement);
  requestedPort_ = port;
  listeningPort_ = listener_.Port();
  notifier_->Watch(kListenerTag, listener_);
  PostLogLine("Remote control listening on port " + std::to_string(listeningPort_.load()));
}

int CRemoteIOThread::ExitInstance() {
  if (notifier_) {
    notifier_->Forget(kListenerTag);
    if (peer_) notifier_->Forget(peerTag_);
  }
  listener_.Close();
  listeningPort_ = 0;
  if (peer_) {
    peer_.reset();
    SetPeerConnected(false);
  }
  receiveBuffer_.Clear();
  notifier_.reset();
  JoinFinishedTransfers(true);
  return platform::WorkerThread::ExitInstance();
}

bool CRemoteIOThread::PeerConnected() const {
  return GetAppSettings().GetAppInt(APP_INT_REMOTE_PEER_CONNECTED) == 1;
}

void CRemoteIOThread::SetPeerConnected(bool connected) {
  GetAppSettings().SetAppInt(APP_INT_REMOTE_PEER_CONNECTED, connected ? 1 : 0);
}

// ---- socket notifications ---------------------------------------------------

void CRemoteIOThread::OnSocketReady(std::uintptr_t tag, platform::LParam readiness) {
  if (tag == kListenerTag) {
    OnListenerReady();
    return;
  }
  if (!peer_ || tag != peerTag_) return;  // a client that has gone
  switch (readiness) {
    case platform::SocketNotifier::kWritable: FlushPeerOutput(); break;
    case platform::SocketNotifier::kWriteTimedOut: OnPeerWriteTimedOut(); break;
    default: OnPeerReady(tag); break;
  }
}

void CRemoteIOThread::OnPeerWriteTimedOut() {
  if (output_.Empty()) return;
  if (std::chrono::steady_clock::now() - lastSendProgress_ < sendTimeout_) {
    FlushPeerOutput();  // it took bytes since the watch began
    return;
  }
  DropPeer("Warning> Remote client took no reply for " + std::to_string(WholeSeconds(sendTimeout_)) +
           " seconds. Remote connection with " + peer_->PeerAddress() + " terminated");
}

void CRemoteIOThread::OnListenerReady() { Post<WM_REMOTE_ACCEPT>(); }

void CRemoteIOThread::OnPeerReady(std::uintptr_t tag) {
  char buffer[kReceiveSize];
  int error = 0;
  const auto result = peer_->ReceiveNow(buffer, sizeof buffer, &error);
  switch (result.status) {
    case platform::IoResult::Ok:
      Post<WM_REMOTE_RECEIVE>(std::make_unique<std::string>(RemoteTextOfBytes(buffer, result.count)));
      notifier_->Rearm(tag);
      break;
    case platform::IoResult::Timeout:  // the readiness had gone
      notifier_->Rearm(tag);
      break;
    case platform::IoResult::Closed:
      Post<WM_REMOTE_CLOSED>(tag);
      break;
    case platform::IoResult::Error:
      // A close that carries an error (a reset): logged, and the client's
      // slot is freed all the same so later clients are served.
      PostLogLine(SocketErrorText(error));
      Post<WM_REMOTE_CLOSED>(tag);
      break;
  }
}

// ---- connections ------------------------------------------------------------

void CRemoteIOThread::OnRemoteAccept() {
  int error = 0;
  std::optional<platform::TcpSocket> accepted = listener_.Accept(&error);
  notifier_->Rearm(kListenerTag);
  if (!accepted) {
    if (error != 10035) PostLogLine(SocketErrorText(error));
    return;
  }
  const std::string address = accepted->PeerAddress();
  PostLogLine("Remote connection established with " + address + " on port " + std::to_string(accepted->PeerPort()));
  if (GetAppSettings().GetIntParam(OPTION_ENABLE_REMOTE_CONTROL) == 0) {
    accepted.reset();
    PostLogLine("Error> Remote control is disabled. Remote connection with " + address + " terminated");
    return;
  }
  if (PeerConnected() || peer_) {
    accepted.reset();
    PostLogLine("Warning> Multiple connections attempted. Remote connection with " + address + " terminated");
    return;
  }
  SetPeerConnected(true);
  peer_ = std::move(accepted);
  peer_->SetSendBufferSize(kPeerSendBuffer);
  peerTag_ = nextPeerTag_++;
  receiveBuffer_.Clear();
  output_.Clear();
  notifier_->Watch(peerTag_, *peer_);
}

void CRemoteIOThread::OnRemoteClosed(std::uintptr_t tag) {
  if (!peer_ || tag != peerTag_) return;
  ClosePeer();
}

void CRemoteIOThread::ClosePeer() {
  const std::string address = peer_->PeerAddress();
  notifier_->Forget(peerTag_);
  peer_.reset();
  SetPeerConnected(false);
  receiveBuffer_.Clear();
  output_.Clear();
  PostLogLine("Connection closed with " + address);
  // The lines it sent may still be running; their replies are its own.
  awaitedMarker_ = nextMarker_++;
  if (!PostToTarget<WM_REMOTE_LINES_DONE>(PT_PREPROCESSING, awaitedMarker_)) awaitedMarker_ = 0;
}

void CRemoteIOThread::OnRemoteLinesDone(std::uintptr_t marker) {
  if (marker == awaitedMarker_) awaitedMarker_ = 0;
}

// A client too far behind: its connection is reset, so the kernel drops
// what it still holds for it, and the next client can be served.
void CRemoteIOThread::DropPeer(const std::string& why) {
  PostLogLine(why);
  notifier_->Forget(peerTag_);
  peer_->Abort();
  ClosePeer();
}

// ---- lines ------------------------------------------------------------------

void CRemoteIOThread::OnRemoteReceive(std::unique_ptr<std::string> text) {
  if (!text) return;
  RemoteLineBuffer::Result result = receiveBuffer_.Append(*text);
  for (auto& line : result.lines) {
    PostToTarget<WM_REMOTE_COMMAND>(PT_PREPROCESSING, std::make_unique<std::string>(std::move(line)));
  }
  if (result.overflowed) PostLogLine("Warning> socket read error");
}

void CRemoteIOThread::OnRemoteSend(std::unique_ptr<std::string> line) {
  if (!line) return;
  if (!peer_ || !PeerConnected()) return;  // nobody to answer: dropped
  if (awaitedMarker_ != 0) return;          // a reply to a client that has gone
  const std::string reply = RemoteReplyLine(*line) + "\n";
  const bool wasEmpty = output_.Empty();
  if (!output_.Append(reply)) {
    DropPeer("Warning> Remote client is not reading its replies (more than " +
             std::to_string(RemoteOutputQueue::kCapacity) + " bytes waiting). Remote connection with " +
             peer_->PeerAddress() + " terminated");
    return;
  }
  if (!wasEmpty) return;  // the earlier replies' write watch sends this one too
  lastSendProgress_ = std::chrono::steady_clock::now();
  FlushPeerOutput();
}

bool CRemoteIOThread::FlushPeerOutput() {
  while (!output_.Empty()) {
    int error = 0;
    const std::string_view pending = output_.Front();
    const auto result = peer_->SendNow(pending.data(), pending.size(), &error);
    switch (result.status) {
      case platform::IoResult::Ok:
        output_.Consume(result.count);
        lastSendProgress_ = std::chrono::steady_clock::now();
        break;
      case platform::IoResult::Timeout: {
        // The socket is full: wait for room, but no longer than the
        // client may take nothing.
        const auto waited = std::chrono::steady_clock::now() - lastSendProgress_;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(sendTimeout_ - waited);
        notifier_->WatchWritable(peerTag_, std::max(left, std::chrono::milliseconds(0)));
        return true;
      }
      case platform::IoResult::Closed:
      case platform::IoResult::Error:
        PostLogLine(SocketErrorText(error));
        ClosePeer();
        return false;
    }
  }
  return true;
}

// ---- file transfers ---------------------------------------------------------

void CRemoteIOThread::OnFileTransfer(std::unique_ptr<std::vector<std::string>> arguments) {
  const std::string peerAddress = (peer_ && PeerConnected()) ? peer_->PeerAddress() : std::string();
  auto request = std::make_unique<FileTransferRequest>(
      BuildFileTransferRequest(arguments ? *arguments : std::vector<std::string>{}, peerAddress));
  if (request->queued) {
    auto job = std::make_unique<CJobRequest>(WM_REMOTE_FILE_TRANSFER, JobPayload(std::move(request)), 0, 0, 0);
    job->device = DEVICE_INDEPENDENT;
    QueueAcceptedJob(std::move(job));
  } else {
    Post<WM_REMOTE_FILE_TRANSFER>(std::move(request));
  }
  // Sent now, so it reaches the client whose line asked for it.
  OnRemoteSend(std::make_unique<std::string>("OK"));
}

void CRemoteIOThread::OnStartFileTransfer(std::unique_ptr<FileTransferRequest> request) {
  // The request is this thread's own (a queued transfer's is a copy of the
  // core thread's queue entry, which stays until the worker reports the
  // end). The worker works on its own copy.
  if (!request) return;
  JoinFinishedTransfers(false);
  if (!PeerConnected()) {
    if (request->queued) {
      auto finished = std::make_unique<FinishRecord>();
      finished->device = DEVICE_INDEPENDENT;
      finished->eventCode = EVENT_STATUS_REMOTE_TRANSFER_DONE;
      PostToTarget<WM_JOB_FINISHED>(PT_CORE, std::move(finished));
    }
    return;
  }
  auto transfer = std::make_unique<Transfer>();
  Transfer* running = transfer.get();
  running->thread = std::thread([copy = *request, running] {
    FileTransferProc(copy);
    running->finished = true;
  });
  transfers_.push_back(std::move(transfer));
}

void CRemoteIOThread::JoinFinishedTransfers(bool all) {
  for (auto it = transfers_.begin(); it != transfers_.end();) {
    if (all || (*it)->finished) {
      if ((*it)->thread.joinable()) (*it)->thread.join();
      it = transfers_.erase(it);
    } else {
      ++it;
    }
  }
}
