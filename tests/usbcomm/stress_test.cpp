// Eight threads register, select, transfer and deregister at once, while
// devices come and go and the device list is read.

#include <atomic>
#include <memory>
#include <numeric>
#include <thread>

#include "device_process.h"
#include "pellwick_fixture.h"
#include "platform/target_registry.h"

namespace usbtest {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 40;
constexpr uint16_t kFirstDevice = 10;
constexpr uint16_t kChurnDevice = 60;

using StressTest = PellwickTest;

// One device worker: opens its channel, sends a block through the echo
// peer, reads it back, closes the channel; returns the rounds that went right.
int DeviceWorker(uint16_t device, int seed) {
  int good = 0;
  std::vector<uint8_t> data(700);
  std::iota(data.begin(), data.end(), static_cast<uint8_t>(seed));
  for (int round = 0; round < kRounds; ++round) {
    int16_t app = -1;
    if (PWLRegisterApp(&app) != PWL_RC_SUCCESS) continue;
    const auto a = static_cast<uint16_t>(app);
    if (PWLSelectDevice(a, device) == PWL_RC_SUCCESS &&
        PWLQueryDevInterface(a, device, PWL_INTERFACE_FLASH) == PWL_RC_SUCCESS) {
      uint32_t n = static_cast<uint32_t>(data.size());
      std::vector<uint8_t> back(data.size());
      int m = static_cast<int>(back.size());
      if (PWLWriteDataEx(a, PWL_INTERFACE_FLASH, device, data.data(), &n, 2000) == PWL_RC_SUCCESS &&
          PWLReadDataEx(a, PWL_INTERFACE_FLASH, device, back.data(), &m, 2000) == PWL_RC_SUCCESS && back == data) {
        ++good;
      }
      PWLDeselectDevice(a);
    }
    PWLDeregisterApp(a);
  }
  return good;
}

TEST_F(StressTest, EightThreadsUseTheLibraryAtOnce) {
  QuorSim_SetMaxBulkSize(256);
  int16_t program = OpenLibrary();
  platform::RegisteredQueue window(platform::TargetKind::Window);
  PWLSetAppHandler(static_cast<uint16_t>(program), window.handle());
  std::vector<std::unique_ptr<EchoPeer>> peers;
  for (int i = 0; i < kThreads; ++i) {
    peers.push_back(std::make_unique<EchoPeer>(static_cast<uint16_t>(kFirstDevice + i), "Corvane_Flash"));
    ASSERT_TRUE(peers.back()->Attached());
  }
  ASSERT_EQ(ListFlash(program), PWL_RC_SUCCESS);

  std::atomic<bool> done{false};
  // Devices come and go and the grid lists them meanwhile.
  std::thread churn([&] {
    ASSERT_EQ(QuorSim_DefineDevice(kChurnDevice, QUOR_SIM_FLASH | QUOR_SIM_BOOT, 64, 64), 0);
    while (!done) {
      QuorSim_Plug(kChurnDevice);
      uint16_t ids[2 * PWL_MAX_DEVICES];
      int count = 0;
      PWLGetDevicesEx(static_cast<uint16_t>(program), PWL_INTERFACE_FLASH, &count, ids);
      PWLGetDevicesEx(static_cast<uint16_t>(program), PWL_INTERFACE_BOOT, &count, ids);
      QuorSim_Unplug(kChurnDevice);
    }
  });

  std::vector<std::thread> workers;
  std::vector<int> good(kThreads, 0);
  for (int i = 0; i < kThreads; ++i) {
    workers.emplace_back([&, i] { good[i] = DeviceWorker(static_cast<uint16_t>(kFirstDevice + i), i * 31); });
  }
  for (auto& w : workers) w.join();
  done = true;
  churn.join();

  for (int i = 0; i < kThreads; ++i) EXPECT_EQ(good[i], kRounds) << "device " << kFirstDevice + i;
  // Every slot but the program's own is free again.
  int16_t app = -1;
  int registered = 0;
  while (PWLRegisterApp(&app) == PWL_RC_SUCCESS) ++registered;
  EXPECT_EQ(registered, PWL_MAX_APPS - 1);
}

TEST_F(StressTest, TheLastApplicationGoesWhileOthersTransfer) {
  // Opening and closing the library while channels run never unloads the
  // driver under a transfer.
  std::vector<std::unique_ptr<EchoPeer>> peers;
  for (int i = 0; i < 4; ++i) {
    peers.push_back(std::make_unique<EchoPeer>(static_cast<uint16_t>(kFirstDevice + i), "Corvane_Flash"));
    ASSERT_TRUE(peers.back()->Attached());
  }
  std::atomic<bool> done{false};
  std::vector<std::thread> workers;
  for (int i = 0; i < 4; ++i) {
    workers.emplace_back([&, i] {
      const auto device = static_cast<uint16_t>(kFirstDevice + i);
      std::vector<uint8_t> data(300, static_cast<uint8_t>(i));
      while (!done) {
        uint32_t n = static_cast<uint32_t>(data.size());
        PWLWriteDataEx(0, PWL_INTERFACE_FLASH, device, data.data(), &n, 200);
        int m = static_cast<int>(data.size());
        std::vector<uint8_t> back(data.size());
        PWLReadDataEx(0, PWL_INTERFACE_FLASH, device, back.data(), &m, 200);
      }
    });
  }
  for (int round = 0; round < 30; ++round) {
    int16_t app = -1;
    ASSERT_EQ(PWLInitialize(&app), PWL_RC_SUCCESS);
    for (int i = 0; i < 4; ++i) {
      PWLQueryDevInterface(static_cast<uint16_t>(app), static_cast<uint16_t>(kFirstDevice + i), PWL_INTERFACE_FLASH);
    }
    ASSERT_EQ(PWLTerminate(static_cast<uint16_t>(app)), PWL_RC_SUCCESS);
  }
  done = true;
  for (auto& w : workers) w.join();
}

}  // namespace
}  // namespace usbtest
