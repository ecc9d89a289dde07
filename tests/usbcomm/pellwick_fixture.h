#pragma once
// A fixture that starts each test with a fresh stand-in driver and leaves
// the library unloaded, and helpers to read the stand-in's call log.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "pellwick/pellwick.h"
#include "msg_thread.h"
#include "pst_driver.h"
#include "quor_pst/quor_sim_control.h"

namespace usbtest {

inline constexpr unsigned kFlash = QUOR_SIM_FLASH;
inline constexpr unsigned kBoot = QUOR_SIM_BOOT;
inline constexpr unsigned kTestCommand = QUOR_SIM_TEST_COMMAND;

// The calls of one driver function, in order.
inline std::vector<QuorSimCall> CallsOf(const std::string& function) {
  std::vector<QuorSimCall> calls;
  for (int i = 0; i < QuorSim_CallCount(); ++i) {
    QuorSimCall c{};
    if (QuorSim_GetCall(i, &c) == 0 && function == c.function) calls.push_back(c);
  }
  return calls;
}

// The lengths asked by each call of a driver function.
inline std::vector<std::uint32_t> RequestedLengths(const std::string& function) {
  std::vector<std::uint32_t> lengths;
  for (const auto& c : CallsOf(function)) lengths.push_back(c.requested);
  return lengths;
}

// Polls until the condition holds or five seconds pass.
inline bool Eventually(const std::function<bool()>& condition, int timeoutMs = 5000) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

class PellwickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QuorSim_Reset();
    pellwick::SetDriverLibraryName("Quor_PST");
  }

  void TearDown() override {
    for (uint16_t app = 0; app < PWL_MAX_APPS; ++app) {
      PWLDeselectDevice(app);
      PWLDeregisterApp(app);
    }
    PWLTerminatePST();
    PWLTerminateEx(0);
    QuorSim_Reset();
  }

  // The program's opening sequence: the library loaded, one application,
  // the driver layer initialised. Returns the application.
  int16_t OpenLibrary() {
    EXPECT_EQ(PWLInitializeEx(), PWL_RC_SUCCESS);
    int16_t app = -1;
    EXPECT_EQ(PWLRegisterApp(&app), PWL_RC_SUCCESS);
    EXPECT_EQ(PWLInitPST(), PWL_RC_SUCCESS);
    return app;
  }

  // A device defined and plugged through the control interface.
  static void PlugDevice(uint16_t id, unsigned interfaces = QUOR_SIM_FLASH, int16_t outEp = 64, int16_t inEp = 64) {
    ASSERT_EQ(QuorSim_DefineDevice(id, interfaces, outEp, inEp), 0);
    ASSERT_EQ(QuorSim_Plug(id), 0);
    // The library learns of the device from the driver's arrival messages;
    // let them take effect before the test goes on.
    ASSERT_TRUE(pellwick::WaitForDriverMessages());
  }

  // Lists the flash interface; returns the result and fills the ids.
  static int ListFlash(int16_t app, std::vector<uint16_t>* ids = nullptr) {
    uint16_t buffer[PWL_MAX_DEVICES] = {};
    int count = -1;
    int rc = PWLGetDevicesEx(static_cast<uint16_t>(app), PWL_INTERFACE_FLASH, &count, buffer);
    if (ids) ids->assign(buffer, buffer + (count > 0 ? count : 0));
    return rc;
  }

  // What the transport does to open a channel: register, select, query.
  static int16_t OpenChannel(uint16_t device, const char* name = PWL_INTERFACE_FLASH) {
    int16_t app = -1;
    EXPECT_EQ(PWLRegisterApp(&app), PWL_RC_SUCCESS);
    EXPECT_EQ(PWLSelectDevice(static_cast<uint16_t>(app), device), PWL_RC_SUCCESS);
    EXPECT_EQ(PWLQueryDevInterface(static_cast<uint16_t>(app), device, name), PWL_RC_SUCCESS);
    return app;
  }
};

}  // namespace usbtest
