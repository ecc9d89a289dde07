#pragma once
// The remote-I/O thread (post target 3): the remote-control server. It
// listens on the configured port, serves one client at a time, cuts what
// the client sends into lines and posts each line to the pre-processing
// thread (WM_REMOTE_COMMAND), and sends back the reply lines that the
// script commands post to it (WM_REMOTE_SEND). It also starts the remote
// file transfers.
//
// The main dialog creates it suspended; the user-I/O thread resumes it once
// the configuration has been read, so the port and the enable option are
// the configured ones. A port changed later (Options, SET) is listened on
// as soon as the user-I/O thread says so (WM_REMOTE_LISTEN). Socket readiness reaches the thread as posted
// messages, so every socket call runs on this thread.
//
// No call here waits on a client: reply bytes the client's socket does not
// take at once wait in the client's output queue and go out as the socket
// becomes writable. A client that leaves more than the queue's cap unread,
// or takes nothing for the send time-out (60 s), is disconnected, so
// accepting and refusing clients, receiving lines and file transfers go on
// whatever a client does.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket_notifier.h"
#include "platform/tcp_socket.h"
#include "platform/worker_thread.h"
#include "shell/remote/remote_line_buffer.h"
#include "shell/remote/remote_output_queue.h"

struct FileTransferRequest;

class CRemoteIOThread : public platform::WorkerThread {
 public:
  // The send time-out is 60 s; the environment variable
  // QUILLON_REMOTE_SEND_TIMEOUT_MS shortens it for tests.
  CRemoteIOThread();
  ~CRemoteIOThread() override;

  // The port the server listens on (0 before it listens or when it could
  // not); useful when the configured port is 0.
  std::uint16_t ListeningPort() const { return listeningPort_.load(); }

 protected:
  bool InitInstance() override;
  int ExitInstance() override;

 private:
  void BuildMessageMap();

  // Readiness of the listener or of the client's socket.
  void OnSocketReady(std::uintptr_t tag, platform::LParam readiness);
  void OnListenerReady();
  void OnPeerReady(std::uintptr_t tag);
  void OnPeerWriteTimedOut();

  void OnRemoteAccept();
  void OnRemoteSend(std::unique_ptr<std::string> line);
  void OnRemoteReceive(std::unique_ptr<std::string> text);
  void OnRemoteClosed(std::uintptr_t tag);
  void OnRemoteLinesDone(std::uintptr_t marker);
  void OnFileTransfer(std::unique_ptr<std::vector<std::string>> arguments);
  void OnStartFileTransfer(std::unique_ptr<FileTransferRequest> request);

  bool PeerConnected() const;
  void SetPeerConnected(bool connected);
  void ClosePeer();
  // Sends what the peer's socket takes now; the rest waits for its write
  // readiness. False when the peer was dropped.
  bool FlushPeerOutput();
  void DropPeer(const std::string& why);
  void ListenForClients();
  void OnRemoteListen();
  void JoinFinishedTransfers(bool all);

  std::unique_ptr<platform::SocketNotifier> notifier_;
  platform::TcpListener listener_;
  std::optional<platform::TcpSocket> peer_;
  std::uintptr_t peerTag_ = 0;
  std::uintptr_t nextPeerTag_ = 0;
  RemoteLineBuffer receiveBuffer_;
  RemoteOutputQueue output_;
  // When the peer last took reply bytes (or replies began to wait).
  std::chrono::steady_clock::time_point lastSendProgress_;
  std::chrono::milliseconds sendTimeout_;
  // After a client has gone, replies are dropped until the pre-processing
  // thread has run every line it sent (its marker comes back); 0: none.
  std::uintptr_t awaitedMarker_ = 0;
  std::uintptr_t nextMarker_ = 1;
  std::atomic<std::uint16_t> listeningPort_{0};
  // The option's port the listener was asked for (0: any free port).
  int requestedPort_ = -1;

  struct Transfer;
  std::vector<std::unique_ptr<Transfer>> transfers_;
};
