// Flash, smart flash and read back an image through the flashing kernel on
// a simulated radio whose pseudo-terminal lets every byte take its time on
// the line (10 bits a byte at the host's bit rate). Each operation runs
// several times; the median of its runs is printed, in payload bytes per
// second beside the most the wire allows for the protocol's own frames:
// bit rate / 10 × payload bytes per exchange ÷ the bytes of the whole
// exchange (request frame, acknowledgement and reply frame, both
// directions counted; a smart flash streams its blocks with no reply).
//
// For the read-back it also says where the time beyond the wire goes, as
// medians over every exchange of its runs: the host's turnaround (the last
// bytes of a reply read from the port until the next request's write
// begins, timed through the serial ports' trace), the simulator's
// turnaround (the request complete until the first byte of its answer is
// handed to the line) and the line pacer's lateness (how late its sleeps
// let a piece go after the line had carried it).
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
#include "bench_arguments.h"
#include "platform/serial_trace.h"
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

constexpr const char* kUsage =
    "usage: bench_kernel_ops [--mib N] [--rate 115200|230400|460800] [--runs N]\n"
    "  Flash, smart flash and read back an N MiB image (default 4) through the\n"
    "  flashing kernel of a line-timed simulated radio at the bit rate (default\n"
    "  460800), each --runs times (default 3), and print the medians against\n"
    "  the wire's limit.\n";

// The host's turnaround: from the last read before a write to that write.
class HostTurnaround : public platform::SerialTrace {
 public:
  void Start() {
    samplesUs_.clear();
    writesAt.clear();
    answersReadAt.clear();
    haveRead_ = false;
    recording_ = true;
  }
  std::vector<double> Take() {
    recording_ = false;
    return std::move(samplesUs_);
  }
  // When each write began, and when the read before it took its last bytes.
  std::vector<Clock::time_point> writesAt;
  std::vector<Clock::time_point> answersReadAt;

  void BytesRead(std::size_t) override {
    lastRead_ = Clock::now();
    haveRead_ = true;
  }
  void WriteStarting(std::size_t) override {
    const auto now = Clock::now();
    if (recording_) {
      writesAt.push_back(now);
      if (haveRead_) {
        samplesUs_.push_back(std::chrono::duration<double, std::micro>(now - lastRead_).count());
        answersReadAt.push_back(lastRead_);
      }
    }
    haveRead_ = false;
  }

 private:
  bool recording_ = false;
  bool haveRead_ = false;
  Clock::time_point lastRead_{};
  std::vector<double> samplesUs_;
};

// What the radio last noted, after a failed operation.
void PrintTranscriptTail(radiosim::RadioSimulator& radio) {
  const auto lines = radio.GetTranscript().Lines();
  const std::size_t from = lines.size() > 12 ? lines.size() - 12 : 0;
  std::fprintf(stderr, "the radio's last notes:\n");
  for (std::size_t i = from; i < lines.size(); ++i) std::fprintf(stderr, "  %.160s\n", lines[i].c_str());
}

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

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

double Median(std::vector<double> values) { return Percentile(std::move(values), 0.5); }

// For each moment of `from`, how long until the first of `to` at or after
// it (both sorted), in microseconds.
std::vector<double> Lags(const std::vector<Clock::time_point>& from, const std::vector<Clock::time_point>& to) {
  std::vector<double> lags;
  for (const auto at : from) {
    const auto next = std::lower_bound(to.begin(), to.end(), at);
    if (next != to.end()) lags.push_back(std::chrono::duration<double, std::micro>(*next - at).count());
  }
  return lags;
}

// For each moment of `to`, how long since the last of `from` before it.
std::vector<double> LagsSince(const std::vector<Clock::time_point>& from, const std::vector<Clock::time_point>& to) {
  std::vector<double> lags;
  for (const auto at : to) {
    const auto next = std::upper_bound(from.begin(), from.end(), at);
    if (next != from.begin()) lags.push_back(std::chrono::duration<double, std::micro>(at - *std::prev(next)).count());
  }
  return lags;
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
  const BenchOption options[] = {
      {"--mib", true, [&](const char* v) { return ParseCount(v, mib, 1, 1024); }},
      {"--rate", true,
       [&](const char* v) {
         return ParseCount(v, rate, 115200, 460800) && (rate == 115200 || rate == 230400 || rate == 460800);
       }},
      {"--runs", true, [&](const char* v) { return ParseCount(v, runs, 1, 1000); }},
  };
  if (const int exit = ReadBenchArguments(argc, argv, kUsage, options); exit >= 0) return exit;
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
  HostTurnaround hostTurnaround;
  platform::InstallSerialTrace(&hostTurnaround);
  std::vector<double> hostTurnarounds;
  std::vector<double> radioTurnarounds;
  std::vector<double> lateness;
  std::vector<double> lastPieceLateness;
  std::vector<double> toRadio;
  std::vector<double> toHost;
  std::vector<double> exchanges;
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
    if (flash < 0) {
      PrintTranscriptTail(radio);
      return 1;
    }
    flashRuns.push_back(flash);
    if (radio.GetFlash(0, size) != image) std::fprintf(stderr, "the radio's flash differs after a flash\n");

    const double smart = TimeOperation(timing, EVENT_SMART_FLASH_STREAMING, "smart flash",
                                       [&] { return kernel.StartSmartFlash(&erase, &program, kRunInline); });
    if (smart < 0) {
      PrintTranscriptTail(radio);
      return 1;
    }
    smartRuns.push_back(smart);
    if (radio.GetFlash(0, size) != image) std::fprintf(stderr, "the radio's flash differs after a smart flash\n");

    CRegionList read;
    read.Add(0, size);
    hostTurnaround.Start();
    front.StartTimings();
    const double back = TimeOperation(timing, EVENT_REVERSE_FLASH_PROGRESS, "read back",
                                      [&] { return kernel.StartReverseFlash(&read, kRunInline); });
    auto served = front.TakeTimings();
    auto host = hostTurnaround.Take();
    hostTurnarounds.insert(hostTurnarounds.end(), host.begin(), host.end());
    radioTurnarounds.insert(radioTurnarounds.end(), served.turnaroundUs.begin(), served.turnaroundUs.end());
    lateness.insert(lateness.end(), served.latenessUs.begin(), served.latenessUs.end());
    lastPieceLateness.insert(lastPieceLateness.end(), served.lastPieceLatenessUs.begin(),
                             served.lastPieceLatenessUs.end());
    const auto handedToRadio = Lags(hostTurnaround.writesAt, served.readsAt);
    const auto handedToHost = LagsSince(served.answersSentAt, hostTurnaround.answersReadAt);
    toRadio.insert(toRadio.end(), handedToRadio.begin(), handedToRadio.end());
    toHost.insert(toHost.end(), handedToHost.begin(), handedToHost.end());
    for (std::size_t i = 1; i < hostTurnaround.writesAt.size(); ++i)
      exchanges.push_back(
          std::chrono::duration<double, std::micro>(hostTurnaround.writesAt[i] - hostTurnaround.writesAt[i - 1]).count());
    if (back < 0) {
      PrintTranscriptTail(radio);
      return 1;
    }
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
  const double wireUs = 1e6 * readExchange / bytesPerSecond;
  const double exchangeUs = 1e6 * Median(readRuns) / (size / kSerialReadBlock);
  std::printf("%-11s one exchange: wire %.0f us, measured %.0f us (%+.0f us); medians: host turnaround %.1f us, "
              "simulator turnaround %.1f us, line pacer lateness %.1f us\n",
              "", wireUs, exchangeUs, exchangeUs - wireUs, Median(hostTurnarounds), Median(radioTurnarounds),
              Median(lateness));
  const double medianExchangeUs = Median(exchanges);
  std::printf("%-11s the median exchange takes %.0f us (%.1f%% of the wire limit), the 90th percentile %.0f us, "
              "the 99th %.0f us: the mean's excess over the median is exchanges held up longer (a loaded machine)\n",
              "", medianExchangeUs, medianExchangeUs > 0 ? 100.0 * wireUs / medianExchangeUs : 0.0,
              Percentile(exchanges, 0.9), Percentile(exchanges, 0.99));
  std::printf("%-11s also: the pacer's lateness on an answer's last piece %.1f us; the pseudo-terminal hands a "
              "request to the radio in %.1f us, an answer's last byte to the host in %.1f us\n",
              "", Median(lastPieceLateness), Median(toRadio), Median(toHost));

  // A refused or abandoned request would be a retry, not a slow line.
  const auto& transcript = radio.GetTranscript();
  std::printf("the radio refused %zu requests and abandoned %zu half-received ones\n",
              transcript.Count("kernel nak"), transcript.Count("kernel partial request abandoned"));

  platform::InstallSerialTrace(nullptr);
  front.Stop();
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return 0;
}
