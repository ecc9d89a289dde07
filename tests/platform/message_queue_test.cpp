#include "platform/message_queue.h"

#include <gtest/gtest.h>

#include <thread>

#include "test_support.h"

namespace platform {
namespace {

using testing::CountedPayload;

std::vector<std::uint32_t> Drain(MessageQueue& q) {
  std::vector<std::uint32_t> numbers;
  while (auto m = q.TryGet()) numbers.push_back(m->number);
  return numbers;
}

TEST(MessageQueue, FilteredTakeLeavesEveryOtherMessageInOrder) {
  MessageQueue q;
  for (std::uint32_t n : {1u, 2u, 7u, 3u, 8u, 4u}) q.Post(Message(n, n * 10, 0));
  auto m = q.TakeMatching(7, 8, Milliseconds(0));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->number, 7u);
  EXPECT_EQ(m->wParam, 70u);
  auto single = q.TakeMatching(3, 3, Milliseconds(0));
  ASSERT_TRUE(single);
  EXPECT_EQ(single->number, 3u);
  EXPECT_EQ(Drain(q), (std::vector<std::uint32_t>{1, 2, 8, 4}));
}

TEST(MessageQueue, FilteredTakeWaitsForAMessagePostedLater) {
  MessageQueue q;
  q.Post(Message(1, 0, 0));
  std::thread poster([&] {
    q.Post(Message(2, 0, 0));
    q.Post(Message(9, 42, 0));
    q.Post(Message(3, 0, 0));
  });
  auto m = q.TakeMatching(9, 9, std::chrono::seconds(10));
  poster.join();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->wParam, 42u);
  EXPECT_EQ(Drain(q), (std::vector<std::uint32_t>{1, 2, 3}));
}

TEST(MessageQueue, FilteredTakeTimesOutAndKeepsTheQueue) {
  MessageQueue q;
  q.Post(Message(1, 0, 0));
  EXPECT_FALSE(q.TakeMatching(5, 6, Milliseconds(20)));
  EXPECT_EQ(Drain(q), (std::vector<std::uint32_t>{1}));
}

TEST(MessageQueue, ClosedQueueRefusesPostsAndTheCallerFreesThePayload) {
  MessageQueue q;
  q.Close();
  {
    Message m = Message::WithRecord(5, std::make_unique<CountedPayload>(1));
    EXPECT_EQ(CountedPayload::alive, 1);
    EXPECT_FALSE(q.Post(m));
  }
  EXPECT_EQ(CountedPayload::alive, 0);
  EXPECT_FALSE(q.Get());
}

TEST(MessageQueue, QueuedPayloadsAreFreedWhenTheQueueGoes) {
  {
    MessageQueue q;
    for (int i = 0; i < 3; ++i) q.Post(Message::WithRecord(5, std::make_unique<CountedPayload>(i)));
    EXPECT_EQ(CountedPayload::alive, 3);
  }
  EXPECT_EQ(CountedPayload::alive, 0);
}

TEST(Message, TakeGivesThePayloadBackOnlyAsItsOwnType) {
  Message m = Message::WithRecord(5, std::make_unique<CountedPayload>(7));
  EXPECT_EQ(m.wParam, reinterpret_cast<WParam>(m.payload.get()));
  EXPECT_EQ(m.payload.Take<std::string>(), nullptr);
  EXPECT_TRUE(m.HasPayload());
  auto p = m.payload.Take<CountedPayload>();
  ASSERT_TRUE(p);
  EXPECT_EQ(p->value, 7);
  EXPECT_FALSE(m.HasPayload());
  EXPECT_EQ(m.payload.Take<CountedPayload>(), nullptr);
}

}  // namespace
}  // namespace platform
