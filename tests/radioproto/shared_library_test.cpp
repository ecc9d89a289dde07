// libgantrel.so loaded by name, as a program loads it: it attaches itself
// (and binds the USB device monitor libKovrin.so beside it when there is one).

#include <gtest/gtest.h>

#include <cstdint>

#include "gantrel/gantrel.h"
#include "platform/dynamic_library.h"
#include "platform/target_registry.h"

namespace {

TEST(GantrelSharedLibrary, LoadsByNameAndServesItsExports) {
  std::string error;
  auto library = platform::DynamicLibrary::Load("gantrel", &error);
  ASSERT_TRUE(library) << error;
  auto registerApp = library->Function<int (*)(RegisterParams*)>("QuorRegisterApp");
  auto deregisterApp = library->Function<int (*)(uint16_t)>("QuorDeRegisterApp");
  auto terminate = library->Function<int (*)()>("QuorTerminate");
  auto connect = library->Function<int (*)(uint32_t, void*, uint16_t, uint16_t, int)>("QuorConnect");
  ASSERT_TRUE(registerApp && deregisterApp && terminate && connect);
  EXPECT_EQ(terminate(), GANTREL_RC_NOT_ALLOCATED);
  platform::RegisteredQueue window(platform::TargetKind::Window);
  RegisterParams params{static_cast<int32_t>(window.handle()), 0xFFFF};
  ASSERT_EQ(registerApp(&params), 0);
  EXPECT_EQ(connect(GANTREL_CONNECT_WORD(params.id, 9, 1), nullptr, 0, 0, 0), GANTREL_RC_BAD_TYPE);
  EXPECT_EQ(deregisterApp(params.id), 0);
}

}  // namespace
