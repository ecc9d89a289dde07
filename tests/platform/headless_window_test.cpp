#include "platform/headless_window.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "test_support.h"

namespace platform {
namespace {

using testing::CountedPayload;
using testing::WaitUntil;

constexpr std::uint32_t kStatus = 0x809B;

}  // namespace
}  // namespace platform

template <>
struct platform::MessagePayload<platform::kStatus> : platform::Carries<platform::testing::CountedPayload> {};

namespace platform {
namespace {

class RecordingWindow : public HeadlessWindow {
 public:
  RecordingWindow() {
    Map().On<kStatus>([this](std::unique_ptr<CountedPayload> p) {
      std::lock_guard lock(mutex);
      values.push_back(p ? p->value : -1);
    });
  }
  ~RecordingWindow() override { Close(); }
  std::mutex mutex;
  std::vector<int> values;
};

TEST(HeadlessWindow, DeliversWindowMessagesInOrderOnItsOwnLoop) {
  RecordingWindow w;
  ASSERT_TRUE(w.Open());
  const WindowHandle h = w.Handle();
  EXPECT_TRUE(IsRegisteredWindow(h));
  EXPECT_FALSE(IsRegisteredThread(h));
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(PostWindowMessage<kStatus>(h, std::make_unique<CountedPayload>(i)));
  });
  poster.join();
  ASSERT_TRUE(WaitUntil([&] { std::lock_guard l(w.mutex); return w.values.size() == 100; }));
  std::vector<int> expected(100);
  for (int i = 0; i < 100; ++i) expected[i] = i;
  EXPECT_EQ(w.values, expected);
  EXPECT_EQ(CountedPayload::alive, 0);
}

TEST(HeadlessWindow, AClosedWindowRefusesPostsAndFreesThePayload) {
  WindowHandle h;
  {
    RecordingWindow w;
    ASSERT_TRUE(w.Open());
    h = w.Handle();
    w.Close();
    EXPECT_FALSE(PostWindowMessage<kStatus>(h, std::make_unique<CountedPayload>(1)));
    EXPECT_EQ(CountedPayload::alive, 0);
  }
  EXPECT_FALSE(IsRegisteredWindow(h));
}

}  // namespace
}  // namespace platform
