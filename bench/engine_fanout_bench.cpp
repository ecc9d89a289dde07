// The core processing thread flashing one 1 MiB image into N simulated USB
// radios at once (N = 1, 8, 32 and 127 by default, or the numbers given on
// the command line): the image file is loaded once, every radio wakes from
// its boot loader, takes the flashing kernel, erases its CODE partition and
// is programmed. Each radio's link carries its bytes no faster than a
// 1 MB/s line would, in both directions. The radios are served by a second
// process (this program started again with --serve-radios), so that the
// figures are the host's alone: the wall time from the request to the last
// radio's end, the host process's processor time for the run and its peak
// resident memory (the highest since the program started, so run one N per
// invocation for a clean figure), with how many radios finished and how many
// failed.

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/app_settings.h"
#include "engine/core/job_payloads.h"
#include "engine/core/job_request.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/images/srecord_file.h"
#include "engine/processing/core_processing_thread.h"
#include "engine/processing/job_starters.h"
#include "bench_arguments.h"
#include "pellwick/pellwick.h"
#include "platform/process_usage.h"
#include "platform/target_registry.h"
#include "platform/unix_socket.h"
#include "quor_pst/quor_sim_control.h"
#include "paced_usb_radio.h"
#include "radiosim/radio_simulator.h"

namespace {

using bench::PacedUsbRadio;

constexpr std::size_t kKernelBytes = 16 * 1024;
constexpr std::uint32_t kImageBytes = 1u << 20;
constexpr std::uint32_t kSectorBytes = 0x10000;
constexpr double kLinkBytesPerSecond = 1.0e6;
constexpr auto kDeadline = std::chrono::minutes(5);


void WriteSRecords(const std::string& path, std::size_t size, std::uint32_t address, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + seed);
  CSRecordFile file;
  file.OpenSRecordFile(path, CSRecordFile::kModeWrite);
  std::uint32_t written = 0;
  const std::string header = "bench";
  file.WriteSRecordBlock(reinterpret_cast<const std::uint8_t*>(header.data()), 5, 0, 0, written);
  file.WriteSRecordBlock(bytes.data(), static_cast<std::uint32_t>(bytes.size()), address, 3, written);
  file.WriteSRecordBlock(nullptr, 0, address, 7, written);
  file.CloseSRecordFile();
}

// Sixteen 64 KiB CODE sectors from 0: the image fills all of them.
SectorList CodeSectors() {
  SectorList sectors;
  sectors.processorName = "HARROW";
  sectors.magicKeyPartition = "CODE";
  for (std::uint32_t address = 0; address < kImageBytes; address += kSectorBytes) {
    sectors.sectors.push_back(SectorEntry{address, kSectorBytes, "CODE", 0});
  }
  return sectors;
}

struct Run {
  int radios;
  double wallSeconds;
  double cpuSeconds;
  std::uint64_t peakBeforeBytes;  // with the radios attached, before the request
  std::uint64_t peakBytes;
  int finished;
  int failed;
  std::string firstError;
};

// Serves `count` paced radios on the stand-in's data plane at `socketPath`
// until standard input closes. The radios' transcripts are emptied as they
// go: every byte is written there, and nobody reads them here.
int ServeRadios(int count, const std::string& socketPath) {
  radiosim::RadioConfig config{.bootLoader = radiosim::BootLoaderType::Harrow,
                               .link = radiosim::LinkKind::Usb,
                               .powerOn = radiosim::PowerOnState::BootLoader};
  config.sectorLayout = {{kSectorBytes, kImageBytes / kSectorBytes}};
  std::vector<std::unique_ptr<radiosim::RadioSimulator>> radios;
  std::vector<std::unique_ptr<PacedUsbRadio>> fronts;
  for (int id = 0; id < count; ++id) {
    radios.push_back(std::make_unique<radiosim::RadioSimulator>(config));
    fronts.push_back(std::make_unique<PacedUsbRadio>(*radios.back(), kLinkBytesPerSecond));
    if (!fronts.back()->Attach(socketPath, id)) std::fprintf(stderr, "radio %d could not attach\n", id);
  }
  std::atomic<bool> inputOpen{true};
  std::thread input([&] {
    while (std::fgetc(stdin) != EOF) {
    }
    inputOpen = false;
  });
  while (inputOpen) {
    for (auto& radio : radios) radio->GetTranscript().Clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  input.join();
  fronts.clear();
  radios.clear();
  return 0;
}

constexpr const char* kUsage =
    "usage: bench_engine_fanout [N...]\n"
    "  Flash a 1 MiB image into N simulated USB radios at once, for each N\n"
    "  given (1 to 127; default 1 8 32 127), and print the wall time, the\n"
    "  processor time and the peak memory of each run.\n";

std::string programPath;  // argv[0]

// This program again, serving the radios; closing the returned stream ends it.
std::FILE* StartRadioProcess(int count, const std::string& socketPath) {
  const std::string command =
      "'" + programPath + "' --serve-radios " + std::to_string(count) + " '" + socketPath + "'";
  return ::popen(command.c_str(), "w");
}

Run RunOnce(int count, const std::string& imageFile) {
  platform::RegisteredQueue userIo(platform::TargetKind::Thread);
  platform::RegisteredQueue mainWindow(platform::TargetKind::Window);
  SetTargetThread(PT_USER_IO, userIo.handle());
  SetMainWindow(mainWindow.handle());

  QuorSim_Reset();
  std::int16_t program = -1;
  PWLInitializeEx();
  PWLRegisterApp(&program);
  PWLInitPST();
  char path[256] = {};
  QuorSim_SocketPath(path, sizeof path);
  std::FILE* radioProcess = StartRadioProcess(count, path);
  if (radioProcess == nullptr) std::fprintf(stderr, "the radio process could not be started\n");
  const auto seen = std::chrono::steady_clock::now() + kDeadline;
  for (;;) {
    std::uint16_t ids[PWL_MAX_DEVICES] = {};
    int found = 0;
    PWLGetDevicesEx(static_cast<std::uint16_t>(program), "Corvane_Flash", &found, ids);
    if (found == count || std::chrono::steady_clock::now() > seen) break;
  }
  GetAppSettings().SetAppInt(APP_INT_USB_AVAILABLE, 1);
  GetAppSettings().SetAppInt(APP_INT_USB_APP_HANDLE, program);

  Run run{count, 0, 0, 0, 0, 0, 0, {}};
  {
    CCoreProcessingThread core(std::make_unique<CJobStarters>(), DefaultCoreServices());
    SetTargetThread(PT_CORE, core.Id());
    core.Create();
    auto payload = std::make_unique<FileJobPayload>();
    payload->imageFileName = imageFile;
    payload->options.SetIntParam(OPTION_COMM_PROTOCOL, 1);
    payload->options.SetIntParam(OPTION_AUTO_ERASE_FLASH, 1);
    payload->options.SetSectorList(CodeSectors());
    auto request = std::make_unique<CJobRequest>(WM_FLASH, JobPayload(std::move(payload)));
    request->device = DEVICE_UNASSIGNED;

    const platform::ProcessUsage before = platform::GetProcessUsage();
    run.peakBeforeBytes = before.peakResidentBytes;
    const auto start = std::chrono::steady_clock::now();
    PostToTarget<WM_QUEUE_JOB>(PT_CORE, std::move(request));
    const auto end = start + kDeadline;
    while (run.finished + run.failed < count && std::chrono::steady_clock::now() < end) {
      // The status records nobody shows are not the host's memory.
      mainWindow.queue().Clear();
      auto message = userIo.queue().Get(std::chrono::milliseconds(50));
      if (!message || message->number != WM_LOG_LINE) continue;
      auto line = message->Take<WM_LOG_LINE>();
      if (!line) continue;
      if (line->find("> Item finished") != std::string::npos) ++run.finished;
      if (line->find("> ERROR:") != std::string::npos) {
        ++run.failed;
        if (run.firstError.empty()) run.firstError = *line;
      }
    }
    run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const platform::ProcessUsage after = platform::GetProcessUsage();
    run.cpuSeconds = (after.userSeconds + after.systemSeconds) - (before.userSeconds + before.systemSeconds);
    run.peakBytes = after.peakResidentBytes;
    SetTargetThread(PT_CORE, platform::kNoHandle);
  }
  if (radioProcess != nullptr) ::pclose(radioProcess);  // the radios go when their input closes
  PWLDeregisterApp(static_cast<std::uint16_t>(program));
  PWLTerminatePST();
  PWLTerminateEx(0);
  QuorSim_Reset();
  SetTargetThread(PT_USER_IO, platform::kNoHandle);
  ClearMainWindow();
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  programPath = argv[0];
  if (argc == 4 && std::strcmp(argv[1], "--serve-radios") == 0) return ServeRadios(std::atoi(argv[2]), argv[3]);
  std::vector<int> counts;
  const auto takeCount = [&](const char* word) {
    int count = 0;
    if (!ParseCount(word, count, 1, 127)) return false;
    counts.push_back(count);
    return true;
  };
  if (const int exit = ReadBenchArguments(argc, argv, kUsage, {}, takeCount); exit >= 0) return exit;
  if (counts.empty()) counts = {1, 8, 32, 127};
  const auto folder = std::filesystem::temp_directory_path() /
                      ("quillon_fanout_bench_" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(folder);
  for (const char* name : {"calderkrnl.s19", "harrowkrnl.s19", "harrowkrnlu.s19", "biselkrnl.s19"}) {
    WriteSRecords((folder / name).string(), kKernelBytes, 0x00200000, 7);
  }
  const std::string imageFile = (folder / "image.s19").string();
  WriteSRecords(imageFile, kImageBytes, 0, 3);
  GetAppSettings().SetAppString(APP_STRING_WORKING_DIRECTORY, folder.string());

  std::printf("flash of a %u-byte image (kernel %zu bytes) into N USB radios at %.0f bytes/s each\n", kImageBytes,
              kKernelBytes, kLinkBytesPerSecond);
  std::printf("%8s %10s %10s %16s %10s %10s %8s\n", "radios", "wall s", "cpu s", "peak before MiB", "peak MiB",
              "finished", "failed");
  double single = 0;
  for (int count : counts) {
    const Run run = RunOnce(count, imageFile);
    if (count == 1) single = run.wallSeconds;
    std::printf("%8d %10.3f %10.3f %16.1f %10.1f %10d %8d\n", run.radios, run.wallSeconds, run.cpuSeconds,
                static_cast<double>(run.peakBeforeBytes) / (1024.0 * 1024.0),
                static_cast<double>(run.peakBytes) / (1024.0 * 1024.0), run.finished, run.failed);
    if (!run.firstError.empty()) std::printf("    first error: %s\n", run.firstError.c_str());
    const double memoryLimitMiB = 64.0 + count;
    std::printf("    peak memory %.1f MiB of the %.0f MiB allowed (64 MiB + 1 MiB per radio)\n",
                static_cast<double>(run.peakBytes) / (1024.0 * 1024.0), memoryLimitMiB);
    if (count > 1 && single > 0 && run.finished == count) {
      std::printf("    %d radios take %.2f times the wall time of one (1.25 allowed)\n", count,
                  run.wallSeconds / single);
    } else if (count > 1 && run.finished < count) {
      std::printf("    only %d of %d radios were flashed: no time ratio\n", run.finished, count);
    }
    std::fflush(stdout);
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
