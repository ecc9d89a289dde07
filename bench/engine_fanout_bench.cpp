// The core processing thread fanning one request out to N simulated USB
// radios at once: each radio wakes from its boot loader, takes a download
// of the flashing kernel (60 KB) and answers the comm check. Prints
// the wall time from the request to the last radio's finish, the process's
// processor time for the run and its peak resident memory, for N = 1, 8,
// 32 and 127.
//
// The flash operation itself is not part of this build, so the download of
// the kernel stands in for the image transfer; the simulated radios answer
// as fast as the host writes (no link timing).

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/core/app_settings.h"
#include "engine/core/job_payloads.h"
#include "engine/core/job_request.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/images/srecord_file.h"
#include "engine/processing/core_processing_thread.h"
#include "engine/processing/job_starters.h"
#include "pellwick/pellwick.h"
#include "platform/process_usage.h"
#include "platform/target_registry.h"
#include "quor_pst/quor_sim_control.h"
#include "radiosim/usb_front_end.h"

namespace {

constexpr std::size_t kKernelBytes = 60 * 1024;
constexpr auto kDeadline = std::chrono::minutes(5);

void WriteKernel(const std::string& path) {
  std::vector<std::uint8_t> bytes(kKernelBytes);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + 7);
  CSRecordFile file;
  file.OpenSRecordFile(path, CSRecordFile::kModeWrite);
  std::uint32_t written = 0;
  const std::string header = "bench";
  file.WriteSRecordBlock(reinterpret_cast<const std::uint8_t*>(header.data()), 5, 0, 0, written);
  file.WriteSRecordBlock(bytes.data(), static_cast<std::uint32_t>(bytes.size()), 0x00200000, 3, written);
  file.WriteSRecordBlock(nullptr, 0, 0x00200000, 7, written);
  file.CloseSRecordFile();
}

struct Run {
  int radios;
  double wallSeconds;
  double cpuSeconds;
  std::uint64_t peakBytes;
  int finished;
};

Run RunOnce(int count) {
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
  radiosim::RadioConfig config{.bootLoader = radiosim::BootLoaderType::Harrow,
                               .link = radiosim::LinkKind::Usb,
                               .powerOn = radiosim::PowerOnState::BootLoader};
  std::vector<std::unique_ptr<radiosim::RadioSimulator>> radios;
  std::vector<std::unique_ptr<radiosim::UsbFrontEnd>> fronts;
  for (int id = 0; id < count; ++id) {
    radios.push_back(std::make_unique<radiosim::RadioSimulator>(config));
    fronts.push_back(std::make_unique<radiosim::UsbFrontEnd>(*radios.back()));
    fronts.back()->Attach(path, id, radiosim::UsbInterfacesFor(config.bootLoader));
  }
  const auto seen = std::chrono::steady_clock::now() + kDeadline;
  for (;;) {
    std::uint16_t ids[PWL_MAX_DEVICES] = {};
    int found = 0;
    PWLGetDevicesEx(static_cast<std::uint16_t>(program), "Corvane_Flash", &found, ids);
    if (found == count || std::chrono::steady_clock::now() > seen) break;
  }
  GetAppSettings().SetAppInt(APP_INT_USB_AVAILABLE, 1);
  GetAppSettings().SetAppInt(APP_INT_USB_APP_HANDLE, program);

  Run run{count, 0, 0, 0, 0};
  {
    CCoreProcessingThread core(std::make_unique<CJobStarters>(), DefaultCoreServices());
    SetTargetThread(PT_CORE, core.Id());
    core.Create();
    auto options = std::make_unique<CJobOptions>();
    options->SetIntParam(OPTION_COMM_PROTOCOL, 1);
    SectorList sectors;
    sectors.processorName = "HARROW";
    options->SetSectorList(sectors);
    auto request = std::make_unique<CJobRequest>(WM_COMM_CHECK, JobPayload(std::move(options)));
    request->device = DEVICE_UNASSIGNED;

    const platform::ProcessUsage before = platform::GetProcessUsage();
    const auto start = std::chrono::steady_clock::now();
    PostToTarget(PT_CORE, WM_QUEUE_JOB, std::move(request));
    const auto end = start + kDeadline;
    int failed = 0;
    while (run.finished + failed < count && std::chrono::steady_clock::now() < end) {
      auto message = userIo.queue().TakeMatching(WM_LOG_LINE, WM_LOG_LINE, std::chrono::milliseconds(100));
      if (!message) continue;
      auto line = message->Take<std::string>();
      if (!line) continue;
      if (line->find("> Item finished") != std::string::npos) ++run.finished;
      if (line->find("> ERROR:") != std::string::npos) {
        ++failed;
        std::fprintf(stderr, "%s\n", line->c_str());
      }
      mainWindow.queue().Clear();
    }
    run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const platform::ProcessUsage after = platform::GetProcessUsage();
    run.cpuSeconds = (after.userSeconds + after.systemSeconds) - (before.userSeconds + before.systemSeconds);
    run.peakBytes = after.peakResidentBytes;
    SetTargetThread(PT_CORE, platform::kNoHandle);
  }
  fronts.clear();
  radios.clear();
  PWLDeregisterApp(static_cast<std::uint16_t>(program));
  PWLTerminatePST();
  PWLTerminateEx(0);
  QuorSim_Reset();
  SetTargetThread(PT_USER_IO, platform::kNoHandle);
  ClearMainWindow();
  return run;
}

}  // namespace

int main() {
  const auto folder = std::filesystem::temp_directory_path() /
                      ("quillon_fanout_bench_" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(folder);
  for (const char* name : {"calderkrnl.s19", "harrowkrnl.s19", "harrowkrnlu.s19", "biselkrnl.s19"}) {
    WriteKernel((folder / name).string());
  }
  GetAppSettings().SetAppString(APP_STRING_WORKING_DIRECTORY, folder.string());

  std::printf("kernel download (%zu bytes) and comm check on N USB radios through the core thread\n",
              kKernelBytes);
  std::printf("%8s %12s %12s %14s %10s\n", "radios", "wall s", "cpu s", "peak MiB", "finished");
  double single = 0;
  for (int count : {1, 8, 32, 127}) {
    const Run run = RunOnce(count);
    if (count == 1) single = run.wallSeconds;
    std::printf("%8d %12.3f %12.3f %14.1f %10d\n", run.radios, run.wallSeconds, run.cpuSeconds,
                static_cast<double>(run.peakBytes) / (1024.0 * 1024.0), run.finished);
    if (count == 127 && single > 0) {
      std::printf("127 radios take %.2f times the wall time of one\n", run.wallSeconds / single);
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
