#include "platform/message_queue.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(MessageQueue, FilteredTakeLeavesOtherMessagesInOrder) {
  MessageQueue q;
  for (std::uint32_t n : {1u, 2u, 7u, 3u, 8u, 4u}) q.Post(Message(n, n * 10, 0));
  auto m = q.TakeMatching(7, 8, Milliseconds(0));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->number, 7u);
  std::vector<std::uint32_t> rest;
  while (auto r = q.TryGet()) rest.push_back(r->number);
  EXPECT_EQ(rest, (std::vector<std::uint32_t>{1, 2, 3, 8, 4}));
}

}  // namespace
}  // namespace platform
