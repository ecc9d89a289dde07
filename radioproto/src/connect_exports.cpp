// Connect, disconnect, send and read for every link type.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "async_reader.h"
#include "bisync_session.h"
#include "gantrel/gantrel.h"
#include "library_state.h"
#include "link_poster.h"
#include "link_control.h"
#include "platform/com_map.h"
#include "serial_link.h"
#include "udp_link.h"

using namespace gantrel;

namespace {

constexpr std::uint8_t kMaxComPort = 100;
constexpr std::uint8_t kMaxLinkType = 8;

std::string ComPath(std::uint8_t port) { return "\\\\.\\COM" + std::to_string(port); }

// The checks every connect makes before it opens anything.
int CheckConnect(std::uint16_t id) {
  if (id >= kMaxApps) return GANTREL_RC_BAD_APP;
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  if (!lib.slots[id].allocated) return GANTREL_RC_NOT_ALLOCATED;
  if (lib.slots[id].open) return GANTREL_RC_ALREADY_OPEN;
  return 0;
}

// Connects now send their data to this application's window.
void TakeReceiverWindows(std::uint16_t id) { Library().messageWindow = 0; (void)id; }

bool Watched(std::uint16_t id) {
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  return lib.slots[id].busType != 0;
}

// The echo of a half-duplex line: the reply starts with the request itself.
bool IsEcho(const std::vector<std::uint8_t>& reply, const std::uint8_t* request, std::size_t length) {
  return length > 0 && reply.size() == length && std::memcmp(reply.data(), request, length) == 0;
}

// One read of up to room bytes with the port's time-outs.
int ReadOnce(SerialLink& link, std::uint8_t* buffer, std::size_t room, std::size_t& got) {
  std::lock_guard lock(link.io());
  got = 0;
  if (!link.port().Read(buffer, room, got)) return static_cast<int>(link.port().LastError());
  return 0;
}

// The reply read of a USB virtual port: bytes that came late are looked for
// again up to the link's read time-out, so they never become the reply of
// the next request.
int ReadQueuedReply(SerialLink& link, std::uint8_t* buffer, std::uint32_t* length) {
  const std::size_t room = *length;
  std::size_t total = 0;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(1000);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  for (;;) {
    std::uint32_t error = 0;
    const long queued = link.QueuedBytes(&error);
    if (queued < 0) return error == platform::kErrorGenFailure ? GANTREL_RC_DEVICE_REMOVED : GANTREL_RC_TIMEOUT;
    if (queued == 0) {
      if (total > 0) break;
      if (Clock::now() >= deadline) return GANTREL_RC_FAILED;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
      continue;
    }
    auto bytes = link.ReadQueued(std::min<std::size_t>(1024, static_cast<std::size_t>(queued)), &error);
    if (error != 0 && bytes.empty()) return GANTREL_RC_TIMEOUT;
    if (total + bytes.size() >= room) return GANTREL_RC_REPLY_TOO_LONG;
    std::memcpy(buffer + total, bytes.data(), bytes.size());
    total += bytes.size();
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  *length = static_cast<std::uint32_t>(total);
  return 0;
}

int ReadReply(SerialLink& link, std::uint8_t busType, std::uint8_t* buffer, std::uint32_t* length) {
  if (!buffer) return GANTREL_RC_NULL_BUFFER;
  if (!length || *length == 0) return GANTREL_RC_TIMEOUT;
  if (busType != 0) return ReadQueuedReply(link, buffer, length);
  std::size_t got = 0;
  if (int r = ReadOnce(link, buffer, *length, got)) return r;
  *length = static_cast<std::uint32_t>(got);
  return got == 0 ? GANTREL_RC_TIMEOUT : 0;
}

int AsyncRequest(std::uint16_t id, const std::uint8_t* request, std::uint32_t length, std::uint8_t* reply,
                 std::uint32_t* replyLength) {
  std::shared_ptr<SerialLink> link;
  bool sync;
  std::uint8_t busType;
  {
    auto& lib = Library();
    std::lock_guard lock(lib.lock);
    link = lib.slots[id].serial;
    sync = lib.slots[id].sync;
    busType = lib.slots[id].busType;
  }
  if (!link) return GANTREL_RC_BAD_PORT;
  if (int r = link->WriteFrame(request, length)) return r;
  if (!sync) return 0;
  if (!reply) return GANTREL_RC_NULL_BUFFER;
  const std::uint32_t room = replyLength ? *replyLength : 0;
  std::uint32_t first = room;
  if (int r = ReadReply(*link, busType, reply, &first)) return r;
  std::vector<std::uint8_t> head(reply, reply + first);
  std::uint32_t total = first;
  if (IsEcho(head, request, length) && total < room) {
    std::uint32_t more = room - total;
    if (ReadReply(*link, busType, reply + total, &more) == 0) total += more;
  }
  if (replyLength) *replyLength = total;
  return 0;
}

int UdpRequest(std::uint16_t id, const std::uint8_t* request, std::uint32_t length, std::uint8_t* reply,
               std::uint32_t* replyLength) {
  std::shared_ptr<UdpLink> udp;
  bool sync;
  {
    auto& lib = Library();
    std::lock_guard lock(lib.lock);
    udp = lib.slots[id].udp;
    sync = lib.slots[id].sync;
  }
  if (!udp) return GANTREL_RC_NOT_OPEN;
  if (int r = udp->Send(request, length)) return r;
  if (!sync) return 0;
  if (!reply) return GANTREL_RC_NULL_BUFFER;
  return udp->Receive(reply, replyLength, kUdpTimeoutMs);
}

int BisyncRequest(std::uint16_t id, const std::uint8_t* request, std::uint32_t length, std::uint8_t* reply,
                  std::uint32_t* replyLength) {
  std::shared_ptr<BisyncSession> session;
  {
    auto& lib = Library();
    std::lock_guard lock(lib.lock);
    session = lib.slots[id].bisync;
  }
  if (!session) return GANTREL_RC_BAD_PORT;
  return session->Request(request, length, reply, replyLength);
}

}  // namespace

extern "C" {

int QuorConnect(uint32_t connectWord, void* params, uint16_t, uint16_t timeout, int sync) {
  const std::uint16_t id = ConnectId(connectWord);
  const std::uint8_t type = ConnectType(connectWord);
  const std::uint8_t port = ConnectPort(connectWord);
  if (port > kMaxComPort) return GANTREL_RC_BAD_PORT;
  if (type > kMaxLinkType) return GANTREL_RC_BAD_TYPE;
  if (int r = CheckConnect(id)) return r;
  TakeReceiverWindows(id);
  if (timeout > kMaxTimeout) return GANTREL_RC_BAD_TIMEOUT;
  if (type == 0) return GANTREL_RC_BAD_TYPE;
  if (!params && type != LINK_BDM) return GANTREL_RC_NULL_BUFFER;
  int result;
  switch (type) {
    case LINK_UDP: result = OpenUdp(id, connectWord, *static_cast<UdpConnectParams*>(params), sync != 0); break;
    case LINK_BDM: result = OpenBdm(id, connectWord); break;
    default:
      result = OpenSerialTypes(id, connectWord, ComPath(port), *static_cast<ConnectParams*>(params), sync != 0,
                               false);
  }
  if (result == 0 && Watched(id)) StartWatcher(id);
  return result;
}

int QuorUSBConnect(uint32_t connectWord, ConnectParams* params, uint16_t, uint16_t timeout, int sync) {
  const std::uint16_t id = ConnectId(connectWord);
  const std::uint8_t type = ConnectType(connectWord);
  const std::uint8_t usbPort = ConnectPort(connectWord);
  if (int r = CheckConnect(id)) return r;
  if (type != LINK_ASYNC && type != LINK_BISYNC) return GANTREL_RC_BAD_TYPE;
  if (usbPort >= 128) return GANTREL_RC_BAD_PORT;
  TakeReceiverWindows(id);
  if (timeout > kMaxTimeout) return GANTREL_RC_BAD_TIMEOUT;
  if (!params) return GANTREL_RC_NULL_BUFFER;
  std::string path;
  {
    auto& lib = Library();
    std::lock_guard lock(lib.lock);
    const auto lookUp = lib.kovrin.entries().GetUSBDevInterfaceFromUSBPort;
    if (!lookUp) return GANTREL_RC_NOT_BOUND;
    const char* found = nullptr;
    if (lookUp(id, usbPort, &found, 2000) != kKovrinOk || !found) return GANTREL_RC_MONITOR_FAILED;
    path = found;  // the monitor keeps its text: the link keeps a copy
  }
  if (int r = OpenSerialTypes(id, connectWord, path, *params, sync != 0, true)) return r;
  StartWatcher(id);
  return 0;
}

int QuorDisconnect(uint16_t id) {
  if (int r = CheckOpen(id)) return r;
  return CloseLink(id);
}

int QuorChangeProtocol(uint16_t id, uint16_t newType, int sync) {
  if (int r = CheckLink(id)) return r;
  if (newType != LINK_BISYNC) return GANTREL_RC_BAD_TYPE;
  auto& lib = Library();
  std::unique_ptr<AsyncReader> reader;
  std::shared_ptr<SerialLink> link;
  {
    std::lock_guard lock(lib.lock);
    LinkSlot& slot = lib.slots[id];
    if (slot.Type() != LINK_ASYNC) return GANTREL_RC_BAD_TYPE;
    reader = std::move(slot.reader);
    link = slot.serial;
  }
  if (reader) reader->Stop();
  std::shared_ptr<BisyncSession> session;
  try {
    session = std::make_shared<BisyncSession>(id, link, sync != 0);
  } catch (const std::system_error&) {
    CloseLink(id);
    return GANTREL_RC_THREAD;
  }
  {
    std::lock_guard lock(link->io());
    link->port().SetTimeouts(TimeoutsFor(LINK_BISYNC, 0));
  }
  std::lock_guard lock(lib.lock);
  LinkSlot& slot = lib.slots[id];
  slot.bisync = std::move(session);
  slot.mode = static_cast<std::uint16_t>((LINK_BISYNC << 8) | slot.Port());
  slot.sync = sync != 0;
  return 0;
}

int QuorSetSerialBusType(uint16_t id, int type) {
  if (id >= kMaxApps) return GANTREL_RC_BAD_APP;
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  if (!lib.slots[id].allocated) return GANTREL_RC_NOT_ALLOCATED;
  if (type < 0 || type > 2) return GANTREL_RC_BAD_BUS_TYPE;
  lib.slots[id].busType = static_cast<std::uint8_t>(type);
  return 0;
}

int QuorSendRequestEx(uint32_t connectWord, const uint8_t* request, uint32_t length, uint8_t* reply,
                      uint32_t* replyLength) {
  const std::uint16_t id = ConnectId(connectWord);
  if (int r = CheckLink(id)) return r;
  if (!request && length > 0) return GANTREL_RC_NULL_BUFFER;
  if (reply && replyLength) std::memset(reply, 0, *replyLength);
  std::uint8_t type;
  {
    auto& lib = Library();
    std::lock_guard lock(lib.lock);
    type = lib.slots[id].Type();
  }
  switch (type) {
    case LINK_ASYNC: return AsyncRequest(id, request, length, reply, replyLength);
    case LINK_BISYNC: return BisyncRequest(id, request, length, reply, replyLength);
    case LINK_UDP: return UdpRequest(id, request, length, reply, replyLength);
    default: return GANTREL_RC_BAD_TYPE;
  }
}

int QuorSendRequest(uint32_t connectWord, const uint8_t* request, uint32_t length, uint8_t* reply,
                    uint32_t replySize) {
  std::uint32_t size = replySize;
  return QuorSendRequestEx(connectWord, request, length, reply, &size);
}

int QuorReadAsyncBlockingReply(uint16_t id, uint8_t* buffer, uint32_t* length) {
  if (int r = CheckLink(id)) return r;
  if (!buffer) return GANTREL_RC_NULL_BUFFER;
  if (!length) return GANTREL_RC_TIMEOUT;
  std::memset(buffer, 0, *length);
  std::shared_ptr<SerialLink> link;
  std::uint8_t busType;
  {
    auto& lib = Library();
    std::lock_guard lock(lib.lock);
    link = lib.slots[id].serial;
    busType = lib.slots[id].busType;
  }
  if (!link) return GANTREL_RC_BAD_PORT;
  return ReadReply(*link, busType, buffer, length);
}

int QuorAsyncSelect(uint32_t socket, int32_t lParam) {
  auto& lib = Library();
  int id = -1;
  std::shared_ptr<UdpLink> udp;
  std::int32_t window = 0;
  {
    std::lock_guard lock(lib.lock);
    for (int i = 0; i < kMaxApps; ++i) {
      if (lib.slots[i].udp && lib.slots[i].udp->socketHandle() == socket) id = i;
    }
    if (id < 0) return GANTREL_RC_NO_SLOT;
    udp = lib.slots[id].udp;
    window = MessageWindowOf(static_cast<std::uint16_t>(id));
  }
  const int error = (lParam >> 16) & 0xFFFF;
  const int event = lParam & 0xFFFF;
  if (error != 0 || event == LINK_SOCKET_CLOSE) {
    // The socket is done: it is cleared and the link closed.
    CloseLink(static_cast<std::uint16_t>(id));
    if (event == LINK_SOCKET_CLOSE) {
      std::lock_guard lock(lib.lock);
      lib.slots[id].allocated = false;
    }
    return 0;
  }
  if (event == LINK_SOCKET_READ) {
    if (window <= 0) return GANTREL_RC_NO_WINDOW;
    return udp->DeliverWaiting(window);
  }
  return 0;
}

int QuorCheckWinSock(void) { return 0; }

}  // extern "C"
