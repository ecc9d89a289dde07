#pragma once
// Turns socket readiness into posted thread messages, as the framework's
// asynchronous sockets did: a socket that becomes readable (data, a pending
// connection, the peer's end or an error) makes the notifier post
// {message, tag} to the owning thread, which then reads or accepts on its
// own thread. After one post a watch rests until the owner calls Rearm, so
// a socket that stays readable is not reported again and again. The
// notifier runs one thread of its own that waits on every armed socket and
// on an eventfd that wakes it when the set changes.
//
// Write readiness is asked for one report at a time: WatchWritable makes the
// notifier post {message, tag, kWritable} once the socket can take bytes
// again, or {message, tag, kWriteTimedOut} when it has not by the time-out,
// so the owner can send without ever blocking and still notice a peer that
// takes nothing. Read reports carry kReadable.
//
// A post can arrive after Forget (it was on its way); the owner ignores
// tags it no longer knows, and a readiness that has gone by the time the
// owner reads is harmless (the read would block).

#include <cstdint>
#include <memory>

#include "platform/message_queue.h"  // Milliseconds

#include "platform/target_registry.h"
#include "platform/tcp_socket.h"

namespace platform {

class SocketNotifier {
 public:
  // What a post reports, in its lParam.
  enum Readiness : LParam { kReadable = 0, kWritable = 1, kWriteTimedOut = 2 };

  SocketNotifier(ThreadId owner, std::uint32_t message);
  ~SocketNotifier();
  SocketNotifier(const SocketNotifier&) = delete;
  SocketNotifier& operator=(const SocketNotifier&) = delete;

  // Starts watching (armed) under the tag; a tag already watched is replaced.
  void Watch(std::uintptr_t tag, const TcpSocket& socket);
  void Watch(std::uintptr_t tag, const TcpListener& listener);
  // Lets the tag's socket be reported once more.
  void Rearm(std::uintptr_t tag);
  // Reports once when the tag's (watched) socket can take bytes, or when
  // the time-out passes first; a second call replaces the first.
  void WatchWritable(std::uintptr_t tag, Milliseconds timeout);
  // Stops watching the tag's socket (call before closing it).
  void Forget(std::uintptr_t tag);

 private:
  struct State;
  void WatchDescriptor(std::uintptr_t tag, int fd);
  std::unique_ptr<State> state_;
};

}  // namespace platform
