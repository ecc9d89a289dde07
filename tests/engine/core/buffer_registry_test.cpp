#include "engine/core/buffer_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(BufferRegistry, FreedAtTheLastReleaseNotBefore) {
  CBufferRegistry registry;
  std::vector<const std::uint8_t*> freed;
  registry.SetFreeObserver([&](const std::uint8_t* b) { freed.push_back(b); });
  std::uint8_t* b = registry.Allocate(16);
  EXPECT_EQ(registry.ReferenceCount(b), 1);
  registry.AddRef(b);
  EXPECT_EQ(registry.ReferenceCount(b), 2);
  registry.Release(b);
  EXPECT_EQ(registry.ReferenceCount(b), 1);
  EXPECT_TRUE(freed.empty());
  registry.Release(b);
  EXPECT_EQ(registry.ReferenceCount(b), 0);
  EXPECT_EQ(registry.Size(), 0u);
  ASSERT_EQ(freed.size(), 1u);
  EXPECT_EQ(freed[0], b);
}

TEST(BufferRegistry, UnknownPointers) {
  CBufferRegistry registry;
  int frees = 0;
  registry.SetFreeObserver([&](const std::uint8_t*) { ++frees; });
  std::uint8_t* known = registry.Allocate(4);
  auto* foreign = new std::uint8_t[8];
  registry.AddRef(foreign);  // left alone
  EXPECT_EQ(registry.ReferenceCount(foreign), 0);
  EXPECT_EQ(registry.Size(), 1u);
  registry.Release(foreign);  // freed at once (the sanitizer build sees a leak otherwise)
  EXPECT_EQ(frees, 1);
  EXPECT_EQ(registry.Size(), 1u);
  EXPECT_EQ(registry.ReferenceCount(known), 1);
  registry.Release(nullptr);
  registry.AddRef(nullptr);
  EXPECT_EQ(frees, 1);
}

TEST(BufferRegistry, ReleasingTheMiddleKeepsTheOrder) {
  CBufferRegistry registry;
  std::uint8_t* a = registry.Allocate(1);
  std::uint8_t* b = registry.Allocate(1);
  std::uint8_t* c = registry.Allocate(1);
  EXPECT_EQ(registry.Buffers(), (std::vector<const std::uint8_t*>{a, b, c}));
  registry.Release(b);
  EXPECT_EQ(registry.Buffers(), (std::vector<const std::uint8_t*>{a, c}));
  registry.Release(a);
  registry.Release(c);
}

TEST(BufferRegistry, DestructorFreesWhatIsLeft) {
  // The sanitizer build reports a leak if the destructor forgets one.
  auto registry = std::make_unique<CBufferRegistry>();
  std::uint8_t* a = registry->Allocate(32);
  registry->AddRef(a);
  registry->Allocate(0);
  registry.reset();
}

TEST(BufferRegistry, ConcurrentAddRefAndRelease) {
  CBufferRegistry registry;
  std::atomic<int> frees{0};
  registry.SetFreeObserver([&](const std::uint8_t*) { ++frees; });
  std::uint8_t* shared = registry.Allocate(64);
  constexpr int kThreads = 8;
  constexpr int kRounds = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        registry.AddRef(shared);
        std::uint8_t* own = registry.Allocate(8);
        registry.Release(own);
        registry.Release(shared);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(registry.ReferenceCount(shared), 1);
  EXPECT_EQ(frees.load(), kThreads * kRounds);
  registry.Release(shared);
  EXPECT_EQ(registry.Size(), 0u);
}

TEST(BufferRegistry, ProgramWideInstanceIsOne) {
  EXPECT_EQ(&GetBufferRegistry(), &GetBufferRegistry());
}

}  // namespace
