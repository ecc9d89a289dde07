#pragma once
// The reply bytes that the remote-control client has not taken yet. Replies
// are appended whole; the socket takes them from the front as it can, so the
// remote-I/O thread never waits on a client that reads slowly or not at all.
// A queue that would pass its cap refuses the reply: the client is then too
// far behind to be served.

#include <cstddef>
#include <string>
#include <string_view>

class RemoteOutputQueue {
 public:
  static constexpr std::size_t kCapacity = 4 * 1024 * 1024;

  explicit RemoteOutputQueue(std::size_t capacity = kCapacity) : capacity_(capacity) {}

  // Adds the bytes at the end; false (and nothing added) when the queue
  // would then hold more than its capacity.
  bool Append(std::string_view bytes);
  // The bytes not yet taken, oldest first.
  std::string_view Front() const { return std::string_view(bytes_).substr(taken_); }
  // The socket took the first count bytes of Front().
  void Consume(std::size_t count);
  std::size_t Size() const { return bytes_.size() - taken_; }
  bool Empty() const { return Size() == 0; }
  void Clear();

 private:
  std::size_t capacity_;
  std::string bytes_;
  std::size_t taken_ = 0;  // bytes at the front already sent
};
