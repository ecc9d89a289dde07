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
// the configured ones. Socket readiness reaches the thread as posted
// messages, so every socket call runs on this thread.

#include <atomic>
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

struct FileTransferRequest;

class CRemoteIOThread : public platform::WorkerThread {
 public:
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
  void OnSocketReady(std::uintptr_t tag);
  void OnListenerReady();
  void OnPeerReady(std::uintptr_t tag);

  void OnRemoteAccept();
  void OnRemoteSend(std::unique_ptr<std::string> line);
  void OnRemoteReceive(std::unique_ptr<std::string> text);
  void OnRemoteClosed(std::uintptr_t tag);
  void OnFileTransfer(std::unique_ptr<std::vector<std::string>> arguments);
  void OnStartFileTransfer(std::unique_ptr<FileTransferRequest> request);

  bool PeerConnected() const;
  void SetPeerConnected(bool connected);
  void ClosePeer();
  void JoinFinishedTransfers(bool all);

  std::unique_ptr<platform::SocketNotifier> notifier_;
  platform::TcpListener listener_;
  std::optional<platform::TcpSocket> peer_;
  std::uintptr_t peerTag_ = 0;
  std::uintptr_t nextPeerTag_ = 0;
  RemoteLineBuffer receiveBuffer_;
  std::atomic<std::uint16_t> listeningPort_{0};

  struct Transfer;
  std::vector<std::unique_ptr<Transfer>> transfers_;
};
