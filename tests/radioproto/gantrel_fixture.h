#pragma once
// A fixture that starts each test with the library freshly attached (to the
// stub USB device monitor, or to none), a COM folder of its own for the
// serial peers, and a recording window per application; and helpers to read
// what the library posted.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gantrel/gantrel.h"
#include "kovrin_stub.h"
#include "library_state.h"
#include "linkpeers/serial_peer.h"
#include "platform/target_registry.h"
#include "platform/temp_folder.h"

namespace gantrel_test {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// A WM_LINK_DATA as the application sees it.
struct LinkData {
  std::uint16_t id = 0;
  std::size_t length = 0;
  Bytes bytes;            // read through lParam
  bool ownsCopy = false;  // lParam points into the message's own payload
};

// A recording application window.
class AppWindow {
 public:
  platform::RegisteredQueue queue{platform::TargetKind::Window};
  std::int32_t handle() { return static_cast<std::int32_t>(queue.handle()); }

  // The next WM_LINK_DATA within the time-out.
  std::optional<LinkData> NextData(std::chrono::milliseconds timeout = 5s) {
    auto m = queue.queue().TakeMatching(WM_LINK_DATA, WM_LINK_DATA, timeout);
    if (!m) return std::nullopt;
    LinkData d;
    d.id = static_cast<std::uint16_t>(m->wParam & 0xFFFF);
    d.length = m->wParam >> 16;
    const auto* p = reinterpret_cast<const std::uint8_t*>(m->lParam);
    if (p) d.bytes.assign(p, p + d.length);
    auto owned = m->payload.Take<std::vector<std::uint8_t>>();
    d.ownsCopy = owned && owned->data() == p;
    return d;
  }

  // Every data byte until total bytes came (line status excluded).
  Bytes Collect(std::size_t total, std::vector<std::size_t>* chunks = nullptr, std::chrono::milliseconds timeout = 10s) {
    Bytes all;
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (all.size() < total && std::chrono::steady_clock::now() < end) {
      auto d = NextData(std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()));
      if (!d) break;
      if (chunks) chunks->push_back(d->length);
      all.insert(all.end(), d->bytes.begin(), d->bytes.end());
    }
    return all;
  }

  // True when nothing matching was posted before a sentinel posted now
  // comes back: the queue is FIFO, so it proves absence without sleeping.
  bool NothingPosted(std::uint32_t number) {
    constexpr std::uint32_t kSentinel = 0x7FF0;
    platform::PostWindowMessage(queue.handle(), kSentinel, 0, 0);
    for (;;) {
      auto m = queue.queue().Get(5s);
      if (!m) return false;
      if (m->number == kSentinel) return true;
      if (m->number == number) return false;
    }
  }
};

class GantrelTest : public ::testing::Test {
 protected:
  // With bound the stub monitor is bound, else none is.
  void Attach(bool bound) {
    gantrel::DetachLibrary();
    KovrinStub_Reset();
    gantrel::AttachLibrary(bound ? "KovrinStub" : "NoSuchMonitorLibrary");
  }

  void SetUp() override {
    comDir_ = platform::MakeTemporaryFolder("gantrel_com_");
    ASSERT_FALSE(comDir_.empty());
    ::setenv("QUILLON_COM_DIR", comDir_.c_str(), 1);
    Attach(false);
  }

  void TearDown() override {
    for (std::uint16_t id = 0; id < GANTREL_MAX_APPS; ++id) QuorDisconnect(id);
    gantrel::DetachLibrary();
    peers_.clear();
    std::error_code ec;
    std::filesystem::remove_all(comDir_, ec);
  }

  // Registers an application with its own window; the slot.
  std::uint16_t Register(AppWindow& window) {
    RegisterParams params{window.handle(), 0xFFFF};
    EXPECT_EQ(QuorRegisterApp(&params), 0);
    return params.id;
  }

  // A serial peer linked as COMn (not linked for n 0: reached by its path).
  linkpeers::SerialPeer& Peer(int com) {
    peers_.push_back(std::make_unique<linkpeers::SerialPeer>());
    EXPECT_TRUE(peers_.back()->Start(com > 0 ? comDir_ : std::string(), com));
    return *peers_.back();
  }

  static ConnectParams Serial(std::uint32_t rate = 115200) {
    ConnectParams p{};
    p.rate = rate;
    p.flags = CONNECT_FLAG_BINARY;
    p.byteSize = 8;
    p.xonChar = 0x11;
    p.xoffChar = 0x13;
    return p;
  }

  int Connect(std::uint16_t id, int type, int port, bool sync, std::uint32_t rate = 115200) {
    ConnectParams p = Serial(rate);
    return QuorConnect(GANTREL_CONNECT_WORD(id, type, port), &p, 0, 0, sync ? 1 : 0);
  }

  std::string comDir_;
  std::vector<std::unique_ptr<linkpeers::SerialPeer>> peers_;
};

inline Bytes Pattern(std::size_t n, std::uint8_t seed = 1) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
  return b;
}

}  // namespace gantrel_test
