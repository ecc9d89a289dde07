// Flash, smart flash and read back an image through the flashing kernel on
// a simulated radio whose pseudo-terminal lets every byte take its time on
// the line (10 bits a byte at the host's bit rate). Each operation runs
// several times; the median of its runs is printed, in payload bytes per
// second beside the most the wire allows for the protocol's own frames:
// bit rate / 10 × payload bytes per exchange ÷ the bytes of the whole
// exchange (request frame, acknowledgement and reply frame, both
// directions counted; a smart flash streams its blocks with no reply).
//
//   bench_kernel_ops [--mib N] [--rate 115200|230400|460800] [--runs N]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "engine/core/buffer_registry.h"
#include "engine/core/region_list.h"
#include "engine/link/kernel.h"
#include "engine/link/kernel_op_requests.h"
#include "platform/temp_folder.h"
#include "radiosim/pty_front_end.h"
#include "radiosim/radio_simulator.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCom = 7;
constexpr std::uint32_t kSector = 0x10000;

// Bytes of a kernel exchange on the wire.
constexpr double kExtendedFrameExtra = 5;  // FF, type, 2-byte length, checksum
constexpr double kAck = 1;
constexpr double kStatusReplyPayload = 3;
constexpr double kReadReplyHead = 10;

struct Timing {
  std::mutex mutex;
  std::int32_t code = -1;
  Clock::time_point first{};
  Clock::time_point last{};
  std::int64_t done = 0;
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::vector<std::uint8_t> Image(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t x = 12345;
  for (auto& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(x >> 16);
  }
  return bytes;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// `limit` counts the bytes of both directions of an exchange; `oneWay`
// only those of the direction that carries the payload.
void Report(const char* what, std::int64_t bytes, const std::vector<double>& runs, double limit, double oneWay) {
  const double seconds = Median(runs);
  const double rate = seconds > 0 ? bytes / seconds : 0;
  std::printf("%-11s %9lld bytes, median of %zu runs %7.2f s: %8.0f payload B/s; wire limit %8.0f B/s (%5.1f%%); "
              "payload direction alone %8.0f B/s (%5.1f%%)\n",
              what, static_cast<long long>(bytes), runs.size(), seconds, rate, limit, 100.0 * rate / limit, oneWay,
              100.0 * rate / oneWay);
  std::printf("%-11s runs:", "");
  for (double run : runs) std::printf(" %.2f s (%.1f%%)", run, run > 0 ? 100.0 * bytes / run / limit : 0.0);
  std::printf("\n");
}

// Runs the operation and gives the seconds from its first progress event
// of the code to its last; a negative value when it failed.
template <class Operation>
double TimeOperation(Timing& timing, DeviceEventCode code, const char* what, Operation operation) {
  {
    std::lock_guard lock(timing.mutex);
    timing.code = code;
    timing.first = timing.last = Clock::time_point{};
  }
  if (const int result = operation(); result != 0) {
    std::fprintf(stderr, "%s failed with %d\n", what, result);
    return -1;
  }
  std::lock_guard lock(timing.mutex);
  return Seconds(timing.last - timing.first);
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t mib = 4;
  int rate = 460800;
  int runs = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--mib")) mib = static_cast<std::uint32_t>(std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--rate")) rate = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--runs")) runs = std::max(1, std::atoi(argv[i + 1]));
  }
  const std::uint32_t size = mib << 20;

  radiosim::RadioConfig config;
  config.lineTiming = true;
  // The kernel already runs: the figures are the transfers' own, without
  // the boot loader's download at 19200 bit/s.
  config.powerOn = radiosim::PowerOnState::Kernel;
  config.sectorLayout = {{kSector, size / kSector}};
  radiosim::RadioSimulator radio(config);
  radiosim::PtyFrontEnd front(radio);
  const std::string folder = platform::MakeTemporaryFolder("quillon-bench-");
  ::setenv("QUILLON_COM_DIR", folder.c_str(), 1);
  if (folder.empty() || !front.Start() || !front.LinkAs(folder, kCom)) {
    std::fprintf(stderr, "cannot serve the simulated radio\n");
    return 1;
  }

  std::vector<std::uint8_t> kernelImage(3000, 0x5A);
  Timing timing;
  KernelSettingsRecord settings;
  settings.device = 126 + kCom;
  settings.linkMode = kLinkRs232;
  settings.chipFamily = kChipHarrow;
  settings.baudRate = rate;
  settings.comPort = kCom;
  settings.images[KernelImage::HarrowU] = {kernelImage.data(), static_cast<std::uint32_t>(kernelImage.size()),
                                           0x00200000};
  settings.callback = [&timing](const DeviceEvent& event) {
    std::lock_guard lock(timing.mutex);
    if (event.eventCode != timing.code) return 0;
    const auto now = Clock::now();
    if (event.argument == 0) timing.first = now;
    timing.last = now;
    timing.done = event.argument;
    return 0;
  };
  CKernel kernel(settings);
  // The kernel answers at the working speed before the transfers start.
  if (const int result = kernel.StartCommCheck(kRunInline); result != 0) {
    std::fprintf(stderr, "the radio does not answer: error %d\n", result);
    return 1;
  }

  const auto image = Image(size);
  std::vector<double> flashRuns;
  std::vector<double> smartRuns;
  std::vector<double> readRuns;
  for (int run = 0; run < runs; ++run) {
    // Each flash starts from an erased part, so every run writes the same.
    CRegionList program;
    program.Add(0, size, const_cast<std::uint8_t*>(image.data()));
    CRegionList erase;
    erase.Add(0, size);
    const double flash = TimeOperation(timing, EVENT_FLASH_PROGRESS, "flash",
                                       [&] { return kernel.StartFlash(&erase, &program, kRunInline); });
    if (flash < 0) return 1;
    flashRuns.push_back(flash);
    if (radio.GetFlash(0, size) != image) std::fprintf(stderr, "the radio's flash differs after a flash\n");

    const double smart = TimeOperation(timing, EVENT_SMART_FLASH_STREAMING, "smart flash",
                                       [&] { return kernel.StartSmartFlash(&erase, &program, kRunInline); });
    if (smart < 0) return 1;
    smartRuns.push_back(smart);
    if (radio.GetFlash(0, size) != image) std::fprintf(stderr, "the radio's flash differs after a smart flash\n");

    CRegionList read;
    read.Add(0, size);
    const double back = TimeOperation(timing, EVENT_REVERSE_FLASH_PROGRESS, "read back",
                                      [&] { return kernel.StartReverseFlash(&read, kRunInline); });
    if (back < 0) return 1;
    readRuns.push_back(back);
    if (std::memcmp(read[0].buffer, image.data(), size) != 0) std::fprintf(stderr, "read back differs\n");
    GetBufferRegistry().Release(read[0].buffer);
  }

  const double bytesPerSecond = rate / 10.0;
  const double writeFrame = kExtendedFrameExtra + kProgramHeaderBytes + kMaxProgramBlock;
  const double writeExchange = writeFrame + kAck + (kExtendedFrameExtra + kStatusReplyPayload);
  const double streamExchange = writeFrame + kAck;
  const double readExchange = (kExtendedFrameExtra + ReadRequest(0, 0).size()) + kAck +
                              (kExtendedFrameExtra + kReadReplyHead + kSerialReadBlock);
  const double readFrame = kAck + kExtendedFrameExtra + kReadReplyHead + kSerialReadBlock;
  std::printf("kernel link at %d bit/s, %u MiB image, line timing %s\n", rate, mib,
              radio.Config().lineTiming ? "on" : "off");
  Report("flash", size, flashRuns, bytesPerSecond * kMaxProgramBlock / writeExchange,
         bytesPerSecond * kMaxProgramBlock / writeFrame);
  Report("smart flash", size, smartRuns, bytesPerSecond * kMaxProgramBlock / streamExchange,
         bytesPerSecond * kMaxProgramBlock / writeFrame);
  Report("read back", size, readRuns, bytesPerSecond * kSerialReadBlock / readExchange,
         bytesPerSecond * kSerialReadBlock / readFrame);

  front.Stop();
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return 0;
}
