#include "platform/event.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/tick.h"

namespace platform {
namespace {

TEST(Event, AutoResetReleasesOneWaitManualResetStaysSet) {
  Event autoEvent(Event::Reset::Auto);
  autoEvent.Set();
  EXPECT_TRUE(autoEvent.Wait(Milliseconds(0)));
  EXPECT_FALSE(autoEvent.Wait(Milliseconds(0)));

  Event manual(Event::Reset::Manual, /*initiallySet=*/true);
  EXPECT_TRUE(manual.Wait(Milliseconds(0)));
  EXPECT_TRUE(manual.Wait(Milliseconds(0)));
  manual.ResetEvent();
  EXPECT_FALSE(manual.Wait(Milliseconds(10)));
}

TEST(Event, WaitWakesWhenAnotherThreadSetsIt) {
  Event e;
  std::thread setter([&] { e.Set(); });
  EXPECT_TRUE(e.Wait(std::chrono::seconds(10)));
  setter.join();
}

TEST(WaitForEventOrMessage, ReportsWhicheverComesFirst) {
  Event e;
  MessageQueue q;
  EXPECT_EQ(WaitForEventOrMessage(e, q, Milliseconds(10)), WaitResult::Timeout);

  std::thread poster([&] { q.Post(Message(1, 0, 0)); });
  EXPECT_EQ(WaitForEventOrMessage(e, q, std::chrono::seconds(10)), WaitResult::Message);
  poster.join();
  EXPECT_EQ(q.Size(), 1u);  // the wait only looks; the message stays
  q.Clear();

  std::thread setter([&] { e.Set(); });
  EXPECT_EQ(WaitForEventOrMessage(e, q, std::chrono::seconds(10)), WaitResult::Event);
  setter.join();
  EXPECT_FALSE(e.IsSet());  // an auto-reset event is consumed by the wait
}

TEST(WaitForAnyEvent, GivesTheIndexOfTheSetEventOrMinusOne) {
  Event a, b(Event::Reset::Manual);
  EXPECT_EQ(WaitForAnyEvent({&a, &b}, Milliseconds(5)), -1);
  std::thread setter([&] { b.Set(); });
  EXPECT_EQ(WaitForAnyEvent({&a, &b}, std::chrono::seconds(10)), 1);
  setter.join();
}

TEST(Tick, CountsMillisecondsForward) {
  const auto start = GetTickCount();
  SleepMs(20);
  EXPECT_GE(static_cast<std::uint32_t>(GetTickCount() - start), 20u);
}

}  // namespace
}  // namespace platform
