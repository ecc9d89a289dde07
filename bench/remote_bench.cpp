// The remote-control path on loopback.
//
// 1. A client sends STATUS and waits for its reply line, over and over on
//    one connection. The line goes through the remote-I/O thread, the
//    script interpreter on a pre-processing thread and a user-I/O thread
//    that answers the query, and the reply comes back the same way. Prints
//    round trips per second and the median and 99th-percentile latency.
// 2. A client sends FLASH of a 1 MiB image; the core processing thread
//    flashes it into a simulated radio on a pseudo-terminal whose line
//    carries 10 bits a byte at 460800 bit/s (the kernel download at the
//    boot loader's rate comes before the figures start). The host's port
//    lets its bytes out at the bit rate; with --line-timed the radio also
//    takes them at the line's pace.
//    Prints the payload bytes per second from the first programming
//    progress to the end, beside the wire limit as the kernel benchmark
//    counts it (request frame, acknowledgement and reply frame).
//
// 3. The real program (vexaload, started headless in a temporary folder
//    with USB as its protocol) gets FLASH of a 1 MiB image over its remote
//    port and flashes it into N radios on the USB stand-in at once, each
//    link carrying 1 MB/s. Prints the wall time from the line to the last
//    radio's end for one radio and for N (127 unless --usb-radios says
//    otherwise), and their ratio (target: within 1.3 times). Then the N
//    radios flash once more while a factory script sends STATUS on the same
//    connection, one after another: how many round trips, their median,
//    99th percentile and maximum (target: 99th percentile under 1 ms).
//
//    Measurement 2 runs once more against the real program (vexaload, started
//    headless in a temporary folder, the radio on COM1 of its COM map),
//    timed from the first STATUS that shows the flashing to the log's
//    "Item finished" line.
//
// 4. The real program gets FLASH of a 6 MiB image over and over, each
//    asked STATUS back to back while it reads and checks the image (no radio
//    on its port, so the job ends before a byte would move). Prints how long
//    the replies took (target: within 1 ms).
//
//   bench_remote [--seconds N] [--skip-flash] [--skip-real-flash] [--rate 115200|230400|460800]
//                [--line-timed] [--skip-usb] [--usb-radios N] [--skip-prepared-status]
//
// The pre-processing and user-I/O threads here are small stand-ins that do
// what the program's threads do for a remote line: run it with the
// interactive flags off, and answer a status query.

#include <QCoreApplication>

#include <algorithm>
#include <filesystem>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench_arguments.h"
#include "engine/core/app_settings.h"
#include "engine/core/device_event.h"
#include "engine/core/device_status_record.h"
#include "engine/images/srecord_file.h"
#include "engine/link/kernel_op_requests.h"
#include "engine/processing/core_processing_thread.h"
#include "engine/processing/job_starters.h"
#include "paced_usb_radio.h"
#include "platform/temp_folder.h"
#include "real_program.h"
#include "radiosim/pty_front_end.h"
#include "radiosim/radio_simulator.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/quillon_exception.h"
#include "platform/tcp_socket.h"
#include "platform/worker_thread.h"
#include "shell/remote/remote_io_thread.h"
#include "shell/script/script_interpreter.h"
#include "shell/userio/query_request.h"

namespace {

using Clock = std::chrono::steady_clock;

// Answers every query with the start-up status, as the user-I/O thread does.
class UserIoStandIn : public platform::WorkerThread {
 public:
  UserIoStandIn() {
    Map().On<WM_QUERY>([](platform::Message& m) {
      auto query = m.Take<WM_QUERY>();
      if (query && query->wantReply) {
        PostToTarget<WM_QUERY_REPLY>(PT_PREPROCESSING, std::make_unique<std::string>("IDLE \"Startup\""));
      } else {
        PostToTarget<WM_QUERY_REPLY>(PT_PREPROCESSING, nullptr);
      }
    });
    Map().On<WM_QUIT_THREAD>([this](platform::Message&) { PostQuitMessage(0); });
  }
};

// Runs remote lines through the interpreter, as the pre-processing thread does.
class PreprocessingStandIn : public platform::WorkerThread, private IScriptContext {
 public:
  PreprocessingStandIn() : interpreter_(*this) {
    Map().On<WM_REMOTE_COMMAND>([this](platform::Message& m) {
      auto line = m.Take<WM_REMOTE_COMMAND>();
      try {
        interpreter_.RunRemoteLine(line ? *line : std::string());
      } catch (QUILLON_EXCEPTION) {
      }
    });
    Map().On<WM_QUIT_THREAD>([this](platform::Message&) { PostQuitMessage(0); });
  }

 private:
  int Interactive() const override { return 0; }
  int SecondRequest() const override { return 0; }
  int AskPrompt(std::int32_t) override { return 2; }
  std::optional<platform::Message> WaitForReply(std::uint32_t number) override { return WaitForMessage(number); }
  std::shared_ptr<CPackManager> SharePackManager() const override { return nullptr; }
  bool PostQuery(std::int32_t kind, const std::string& argument, std::int32_t wantReply) override {
    auto query = std::make_unique<QueryRequest>();
    query->kind = kind;
    query->replyTarget = PT_PREPROCESSING;
    query->wantReply = wantReply;
    query->argument = argument;
    return PostToTarget<WM_QUERY>(PT_USER_IO, std::move(query)) != 0;
  }
  std::string ExpandShortcut(const std::string& path) const override { return path; }

  CScriptInterpreter interpreter_;
};

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  return values[index];
}

}  // namespace

namespace {

int StatusRoundTrips(std::uint16_t port, double seconds) {
  int error = 0;
  platform::TcpSocket client = platform::ConnectTcp("127.0.0.1", port, std::chrono::seconds(10), &error);
  if (!client.Valid()) {
    std::fprintf(stderr, "connect failed: %d\n", error);
    return 1;
  }
  const std::string request = "STATUS\n";
  const std::string expected = "IDLE \"Startup\"\n";
  std::vector<double> latencies;
  std::string reply;
  char buffer[256];
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  while (Clock::now() < end) {
    const auto sent = Clock::now();
    if (!client.SendAll(request.data(), request.size())) break;
    reply.clear();
    while (reply.size() < expected.size()) {
      auto got = client.Receive(buffer, sizeof buffer, std::chrono::seconds(10));
      if (got.status != platform::IoResult::Ok) break;
      reply.append(buffer, got.count);
    }
    if (reply != expected) {
      std::fprintf(stderr, "unexpected reply '%s'\n", reply.c_str());
      return 1;
    }
    latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("STATUS round trips: %zu in %.2f s = %.0f per second (target 5000); latency median %.1f us, "
              "99th percentile %.1f us\n",
              latencies.size(), elapsed, static_cast<double>(latencies.size()) / elapsed, Percentile(latencies, 0.5),
              Percentile(latencies, 0.99));
  std::fflush(stdout);
  return 0;
}

constexpr int kCom = 7;
constexpr std::uint32_t kImageBytes = 1u << 20;
constexpr std::uint32_t kSector = 0x10000;
constexpr const char* kUsage =
    "usage: bench_remote [--seconds N] [--skip-flash] [--skip-real-flash] [--rate 115200|230400|460800]\n"
    "                    [--line-timed] [--skip-usb] [--usb-radios N] [--skip-prepared-status]\n"
    "  Time STATUS round trips on the remote port for N seconds (default 5), a\n"
    "  remote FLASH into a simulated radio on a pseudo-terminal (also through\n"
    "  the real program), and a remote FLASH into N USB radios at once\n"
    "  (default 127), then STATUS round trips while they flash again, and\n"
    "  STATUS while the real program prepares FLASH jobs of a 6 MiB image.\n";

bool lineTimedRadio = false;
int rateIndex = 2;  // index into the data-rate table: 460800 bit/s unless --rate says otherwise

void WriteSRecords(const std::string& path, const std::vector<std::uint8_t>& bytes, std::uint32_t address) {
  CSRecordFile file;
  file.OpenSRecordFile(path, CSRecordFile::kModeWrite);
  std::uint32_t written = 0;
  const std::string header = "bench";
  file.WriteSRecordBlock(reinterpret_cast<const std::uint8_t*>(header.data()), 5, 0, 0, written);
  file.WriteSRecordBlock(bytes.data(), static_cast<std::uint32_t>(bytes.size()), address, 3, written);
  file.WriteSRecordBlock(nullptr, 0, address, 7, written);
  file.CloseSRecordFile();
}

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (auto& b : bytes) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(seed >> 16);
  }
  return bytes;
}

// The payload bytes per second that the line's bit rate allows: each
// program block takes its request frame, the acknowledgement and the reply
// frame on the line.
double WireLimit(int rate) {
  const double bytesPerSecond = rate / 10.0;
  constexpr double kExtendedFrameExtra = 5;  // FF, type, 2-byte length, checksum
  constexpr double kAck = 1;
  constexpr double kStatusReplyPayload = 3;
  const double exchange = (kExtendedFrameExtra + kProgramHeaderBytes + kMaxProgramBlock) + kAck +
                          (kExtendedFrameExtra + kStatusReplyPayload);
  return bytesPerSecond * kMaxProgramBlock / exchange;
}

// FLASH over the remote port into a line-timed radio at 460800 bit/s.
int RemoteFlash(std::uint16_t port, platform::RegisteredQueue& userIo, platform::RegisteredQueue& mainWindow) {
  radiosim::RadioConfig config;
  config.lineTiming = lineTimedRadio;
  config.powerOn = radiosim::PowerOnState::BootLoader;
  config.sectorLayout = {{kSector, kImageBytes / kSector}};
  radiosim::RadioSimulator radio(config);
  radiosim::PtyFrontEnd front(radio);
  const std::string folder = platform::MakeTemporaryFolder("quillon-remote-bench-");
  ::setenv("QUILLON_COM_DIR", folder.c_str(), 1);
  if (folder.empty() || !front.Start() || !front.LinkAs(folder, kCom)) {
    std::fprintf(stderr, "cannot serve the simulated radio\n");
    return 1;
  }
  for (const char* name : {"calderkrnl.s19", "harrowkrnl.s19", "harrowkrnlu.s19", "biselkrnl.s19"}) {
    WriteSRecords(folder + "/" + name, Pattern(2048, 7), 0x20000000u);
  }
  const auto image = Pattern(kImageBytes, 99);
  const std::string imageFile = folder + "/image.s19";
  WriteSRecords(imageFile, image, 0);
  GetAppSettings().SetAppString(APP_STRING_WORKING_DIRECTORY, folder + "/");
  GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, 0);
  GetAppSettings().SetIntParam(OPTION_SERIAL_PORT, kCom - 1);
  GetAppSettings().SetIntParam(OPTION_DATA_RATE, rateIndex);
  const int kRate = static_cast<int>(kDataRateTable[rateIndex]);
  GetAppSettings().SetIntParam(OPTION_AUTO_ERASE_FLASH, 1);
  SectorList sectors;
  sectors.processorName = "HARROW";
  sectors.magicKeyPartition = "CODE";
  for (std::uint32_t address = 0; address < kImageBytes; address += kSector) {
    sectors.sectors.push_back(SectorEntry{address, kSector, "CODE", 0});
  }
  GetAppSettings().SetSectorList(sectors);

  CCoreProcessingThread core(std::make_unique<CJobStarters>(), DefaultCoreServices());
  SetTargetThread(PT_CORE, core.Id());
  core.Create();
  int error = 0;
  platform::TcpSocket client = platform::ConnectTcp("127.0.0.1", port, std::chrono::seconds(10), &error);
  const std::string line = "FLASH " + imageFile + "\n";
  const auto sent = Clock::now();
  client.SendAll(line.data(), line.size());
  Clock::time_point firstProgress{}, done{};
  bool finished = false;
  std::string failure;
  const auto deadline = Clock::now() + std::chrono::minutes(5);
  while (!finished && failure.empty() && Clock::now() < deadline) {
    while (auto m = mainWindow.queue().TryGet()) {
      if (m->number != WM_DEVICE_STATUS) continue;
      auto status = m->Take<WM_DEVICE_STATUS>();
      if (!status) continue;
      if (status->eventCode == EVENT_FLASH_PROGRESS && firstProgress == Clock::time_point{}) firstProgress = Clock::now();
      if (status->eventCode == EVENT_FLASH_DONE) done = Clock::now();
    }
    auto m = userIo.queue().Get(std::chrono::milliseconds(20));
    if (!m || m->number != WM_LOG_LINE) continue;
    auto text = m->Take<WM_LOG_LINE>();
    if (!text) continue;
    if (std::getenv("QUILLON_BENCH_LOG")) std::fprintf(stderr, "log: %s\n", text->c_str());
    if (text->find("> Item finished") != std::string::npos) finished = true;
    if (text->find("ERROR") != std::string::npos || text->rfind("Error>", 0) == 0) failure = *text;
  }
  while (auto m = mainWindow.queue().TryGet()) {
    if (m->number != WM_DEVICE_STATUS) continue;
    auto status = m->Take<WM_DEVICE_STATUS>();
    if (status && status->eventCode == EVENT_FLASH_DONE && done == Clock::time_point{}) done = Clock::now();
  }
  const bool same = radio.GetFlash(0, kImageBytes) == image;
  core.PostQuit();
  core.Join();
  SetTargetThread(PT_CORE, platform::kNoHandle);
  front.Stop();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  if (!finished || done == Clock::time_point{} || firstProgress == Clock::time_point{}) {
    std::fprintf(stderr, "the flash did not finish: %s\n", failure.c_str());
    return 1;
  }
  const double seconds = std::chrono::duration<double>(done - firstProgress).count();
  const double wall = std::chrono::duration<double>(done - sent).count();
  const double limit = WireLimit(kRate);
  const double rate = kImageBytes / seconds;
  std::printf("FLASH over the remote port, %u bytes at %d bit/s%s: programming %.2f s = %.0f payload B/s; wire "
              "limit %.0f B/s (%.1f%%, target 95%%); line to done %.2f s; radio's flash %s the image\n",
              kImageBytes, kRate, lineTimedRadio ? ", line-timed radio" : "", seconds, rate, limit, 100.0 * rate / limit, wall, same ? "equals" : "DIFFERS FROM");
  return same ? 0 : 1;
}


// ---- 3. FLASH into many USB radios through the real program ---------------

constexpr double kUsbLinkBytesPerSecond = 1.0e6;

constexpr char kBenchProduct[] = R"(# 1 MiB of CODE flash in sixteen 64 KiB sectors
product BENCH
{
    processor Harrow;
    flash main size = 1M type = nor vendor = Intel num_sectors = 16
    {
        partition = 0 boot size = 1M type = code chip_select = 0;
        address = 0, sector_size = 64K, num_sectors = 16, type = CODE;
    }
}
)";

// ---- STATUS round trips while the USB radios flash -------------------------

// Sends STATUS on the program's remote connection, one after another, until
// `done` holds (asked every 100 ms) or the limit passes; the round trips' times
// in microseconds.
std::vector<double> StatusWhileFlashing(platform::TcpSocket& client, const std::function<bool()>& done,
                                        std::chrono::seconds limit) {
  std::vector<double> micros;
  const std::string request = "STATUS\n";
  std::string reply;
  char buffer[512];
  const auto deadline = Clock::now() + limit;
  auto nextAsk = Clock::now();
  while (Clock::now() < deadline) {
    if (Clock::now() >= nextAsk) {
      if (done()) break;
      nextAsk = Clock::now() + std::chrono::milliseconds(100);
    }
    const auto sent = Clock::now();
    if (!client.SendAll(request.data(), request.size())) break;
    reply.clear();
    while (reply.find('\n') == std::string::npos) {
      const auto got = client.Receive(buffer, sizeof buffer, std::chrono::seconds(10));
      if (got.status != platform::IoResult::Ok) return micros;
      reply.append(buffer, got.count);
    }
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
  }
  return micros;
}

struct UsbRun {
  int radios = 0;
  double wallSeconds = 0;
  int finished = 0;
  int failed = 0;
  int equal = 0;
  int exitStatus = -1;
  std::string firstError;
  std::vector<double> statusMicros;  // STATUS round trips while the radios flash, when asked for
};

UsbRun FlashUsbRadios(int count, bool askStatus = false) {
  UsbRun run;
  run.radios = count;
  bench::RealProgram program;
  if (!program.Valid()) return run;
  for (const char* name : {"calderkrnl.s19", "harrowkrnl.s19", "harrowkrnlu.s19", "biselkrnl.s19"}) {
    WriteSRecords(program.File(name), Pattern(2048, 7), 0x20000000u);
  }
  const auto image = Pattern(kImageBytes, 5);
  WriteSRecords(program.File("image.s19"), image, 0);
  program.Write("bench.qlp", kBenchProduct);
  if (!program.Start("comm_protocol=1\nauto_erase_flash=1\nflash_product_file=bench.qlp\nflash_product_tag=BENCH\n")) {
    run.firstError = "the program did not start";
    return run;
  }
  if (!bench::RealProgram::WaitUntil([&] { return std::filesystem::exists(program.UsbSocket()); },
                                     std::chrono::seconds(60))) {
    run.firstError = "the USB stand-in never opened its device socket";
    return run;
  }
  radiosim::RadioConfig config;
  config.bootLoader = radiosim::BootLoaderType::Harrow;
  config.link = radiosim::LinkKind::Usb;
  config.powerOn = radiosim::PowerOnState::BootLoader;
  config.sectorLayout = {{kSector, kImageBytes / kSector}};
  std::vector<std::unique_ptr<radiosim::RadioSimulator>> radios;
  std::vector<std::unique_ptr<bench::PacedUsbRadio>> links;
  for (int id = 0; id < count; ++id) {
    radios.push_back(std::make_unique<radiosim::RadioSimulator>(config));
    links.push_back(std::make_unique<bench::PacedUsbRadio>(*radios.back(), kUsbLinkBytesPerSecond));
    if (!links.back()->Attach(program.UsbSocket(), id)) std::fprintf(stderr, "radio %d could not attach\n", id);
  }
  platform::TcpSocket client = program.Connect();
  if (!client.Valid()) {
    run.firstError = "no remote connection";
    return run;
  }
  const std::string line = "FLASH image.s19\n";
  const auto start = Clock::now();
  client.SendAll(line.data(), line.size());
  const auto allDone = [&] {
    // Nobody reads the radios' transcripts here.
    for (auto& radio : radios) radio->GetTranscript().Clear();
    run.finished = static_cast<int>(program.CountLogLines("> Item finished"));
    run.failed = static_cast<int>(program.CountLogLines("> ERROR"));
    return run.finished + run.failed >= count;
  };
  if (askStatus) {
    run.statusMicros = StatusWhileFlashing(client, allDone, std::chrono::minutes(5));
  } else {
    bench::RealProgram::WaitUntil(allDone, std::chrono::minutes(5));
  }
  run.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.firstError = program.FirstLogLine("> ERROR");
  for (auto& radio : radios) run.equal += radio->GetFlash(0, kImageBytes) == image ? 1 : 0;
  run.exitStatus = program.Terminate(client);
  links.clear();
  return run;
}

// ---- 2, against the real program ------------------------------------------

// FLASH of a 1 MiB image over the real program's remote port into a radio on
// COM1 of its folder, at the chosen rate; the figures as in measurement 2, timed
// from the first STATUS that shows the flashing to the "Item finished" line.
int RealProgramFlash() {
  bench::RealProgram program;
  if (!program.Valid()) return 1;
  for (const char* name : {"calderkrnl.s19", "harrowkrnl.s19", "harrowkrnlu.s19", "biselkrnl.s19"}) {
    WriteSRecords(program.File(name), Pattern(2048, 7), 0x20000000u);
  }
  const auto image = Pattern(kImageBytes, 99);
  WriteSRecords(program.File("image.s19"), image, 0);
  program.Write("bench.qlp", kBenchProduct);
  radiosim::RadioConfig config;
  config.lineTiming = lineTimedRadio;
  config.powerOn = radiosim::PowerOnState::BootLoader;
  config.sectorLayout = {{kSector, kImageBytes / kSector}};
  radiosim::RadioSimulator radio(config);
  radiosim::PtyFrontEnd front(radio);
  if (!front.Start() || !front.LinkAs(program.ComFolder(), 1)) {
    std::fprintf(stderr, "cannot serve the simulated radio\n");
    return 1;
  }
  const std::string configuration = "comm_protocol=0\nserial_port=0\ndata_rate=" + std::to_string(rateIndex) +
                                    "\nauto_erase_flash=1\nflash_product_file=bench.qlp\nflash_product_tag=BENCH\n";
  if (!program.Start(configuration)) {
    std::fprintf(stderr, "the program did not start\n");
    return 1;
  }
  platform::TcpSocket client = program.Connect();
  const std::string line = "FLASH image.s19\n";
  const auto sent = Clock::now();
  client.SendAll(line.data(), line.size());
  Clock::time_point flashing{};
  std::string reply;
  char buffer[512];
  bool finished = false;
  std::string failure;
  bench::RealProgram::WaitUntil(
      [&] {
        radio.GetTranscript().Clear();
        const std::string status = "STATUS\n";
        client.SendAll(status.data(), status.size());
        reply.clear();
        while (reply.find('\n') == std::string::npos) {
          const auto got = client.Receive(buffer, sizeof buffer, std::chrono::seconds(10));
          if (got.status != platform::IoResult::Ok) break;
          reply.append(buffer, got.count);
        }
        if (flashing == Clock::time_point{} &&
            (reply.rfind("BUSY \"Flashing", 0) == 0 || reply.rfind("BUSY \"Streaming", 0) == 0)) {
          flashing = Clock::now();
        }
        finished = program.CountLogLines("> Item finished") > 0;
        failure = program.FirstLogLine("> ERROR");
        return finished || !failure.empty();
      },
      std::chrono::minutes(5));
  const auto done = Clock::now();
  const bool same = radio.GetFlash(0, kImageBytes) == image;
  const int status = program.Terminate(client);
  front.Stop();
  if (!finished || flashing == Clock::time_point{}) {
    std::printf("FLASH over the real program's remote port%s did not finish: %s\n",
                lineTimedRadio ? " into a line-timed radio" : "", failure.c_str());
    return 1;
  }
  const int rate = static_cast<int>(kDataRateTable[rateIndex]);
  const double seconds = std::chrono::duration<double>(done - flashing).count();
  const double limit = WireLimit(rate);
  std::printf("FLASH over the real program's remote port, %u bytes at %d bit/s%s: flashing %.2f s = %.0f payload "
              "B/s; wire limit %.0f B/s (%.1f%%, target 95%%); line to done %.2f s; radio's flash %s the image; "
              "program ended with status %d\n",
              kImageBytes, rate, lineTimedRadio ? ", line-timed radio" : "", seconds, kImageBytes / seconds, limit,
              100.0 * kImageBytes / seconds / limit, std::chrono::duration<double>(done - sent).count(),
              same ? "equals" : "DIFFERS FROM", status);
  std::fflush(stdout);
  return same ? 0 : 1;
}

// ---- 4. STATUS while a job is prepared ------------------------------------

constexpr std::uint32_t kLargeImageBytes = 6u << 20;
constexpr int kPreparedJobs = 5;

constexpr char kLargeProduct[] = R"(# 6 MiB of CODE flash in ninety-six 64 KiB sectors
product LARGE
{
    processor Harrow;
    flash main size = 6M type = nor vendor = Intel num_sectors = 96
    {
        partition = 0 boot size = 6M type = code chip_select = 0;
        address = 0, sector_size = 64K, num_sectors = 96, type = CODE;
    }
}
)";

// One STATUS round trip on the connection: the reply line and its time in
// microseconds, or an empty line when none came.
std::pair<std::string, double> TimedStatus(platform::TcpSocket& client, const std::string& line) {
  const auto sent = Clock::now();
  std::string reply;
  char buffer[512];
  if (!client.SendAll(line.data(), line.size())) return {};
  while (reply.find('\n') == std::string::npos) {
    const auto got = client.Receive(buffer, sizeof buffer, std::chrono::seconds(10));
    if (got.status != platform::IoResult::Ok) return {};
    reply.append(buffer, got.count);
  }
  return {reply, std::chrono::duration<double, std::micro>(Clock::now() - sent).count()};
}

// FLASH of a 6 MiB image over the real program's remote port, with STATUS
// asked back to back from the line on by a client that leaves Nagle's rule
// on, as scripts do: the program reads and checks the image before the
// first byte would move. No radio is on the port, so each job ends there,
// with ERROR; STATUS RESET clears it (and the failed job's device) for the
// next one.
// Prints the replies' median and slowest time, and the slowest of each job.
int StatusWhileJobsArePrepared() {
  bench::RealProgram program;
  if (!program.Valid()) return 1;
  for (const char* name : {"calderkrnl.s19", "harrowkrnl.s19", "harrowkrnlu.s19", "biselkrnl.s19"}) {
    WriteSRecords(program.File(name), Pattern(2048, 7), 0x20000000u);
  }
  WriteSRecords(program.File("large.s19"), Pattern(kLargeImageBytes, 3), 0);
  program.Write("large.qlp", kLargeProduct);
  if (!program.Start("comm_protocol=0\nserial_port=0\nauto_erase_flash=1\nflash_product_file=large.qlp\n"
                     "flash_product_tag=LARGE\n")) {
    std::fprintf(stderr, "the program did not start\n");
    return 1;
  }
  platform::TcpSocket client = program.Connect();
  // As a factory script's socket (bash, Python, ...) is by default.
  client.SetNoDelay(false);
  std::vector<double> all;
  std::vector<double> slowestOfJob;
  const std::string job = "FLASH large.s19\n";
  for (int n = 0; n < kPreparedJobs; ++n) {
    if (!client.SendAll(job.data(), job.size())) break;
    double slowest = 0;
    bool ended = false;
    for (const auto deadline = Clock::now() + std::chrono::minutes(1); !ended && Clock::now() < deadline;) {
      const auto [reply, micros] = TimedStatus(client, "STATUS\n");
      if (reply.empty()) break;
      all.push_back(micros);
      slowest = std::max(slowest, micros);
      ended = reply.rfind("ERROR", 0) == 0;
    }
    if (!ended) {
      std::fprintf(stderr, "job %d did not end\n", n + 1);
      break;
    }
    slowestOfJob.push_back(slowest);
    // The reset cancels the failed job's work only; the next job, sent
    // right after its reply, is not touched by it.
    TimedStatus(client, "STATUS RESET\n");
  }
  const int status = program.Terminate(client);
  if (static_cast<int>(slowestOfJob.size()) != kPreparedJobs) return 1;
  std::string perJob;
  for (double micros : slowestOfJob) perJob += " " + std::to_string(static_cast<long>(micros));
  std::printf("STATUS while a %u-byte image is read and checked (%d jobs, %zu replies, a client with Nagle's rule): median %.1f us, slowest %.1f "
              "us (target: within 1000 us); slowest of each job (us):%s; program ended with status %d\n",
              kLargeImageBytes, kPreparedJobs, all.size(), Percentile(all, 0.5), Percentile(all, 1.0),
              perJob.c_str(), status);
  std::fflush(stdout);
  return 0;
}

int UsbFanout(int count) {
  std::printf("FLASH over the remote port of vexaload into USB radios (%u bytes, links of %.0f bytes/s):\n",
              kImageBytes, kUsbLinkBytesPerSecond);
  std::fflush(stdout);
  double single = 0;
  bool good = true;
  for (int n : {1, count}) {
    const UsbRun run = FlashUsbRadios(n);
    std::printf("  %3d radio(s): wall %.2f s, %d finished, %d failed, %d radios hold the image; program ended with "
                "status %d\n",
                run.radios, run.wallSeconds, run.finished, run.failed, run.equal, run.exitStatus);
    if (!run.firstError.empty()) std::printf("    first error: %s\n", run.firstError.c_str());
    good = good && run.finished == n && run.equal == n;
    if (n == 1) single = run.wallSeconds;
    if (n > 1 && single > 0 && run.finished == n) {
      std::printf("  %d radios take %.2f times the wall time of one (target: within 1.3 times)\n", n,
                  run.wallSeconds / single);
    }
    std::fflush(stdout);
  }
  return good ? 0 : 1;
}

// The same FLASH into N radios once more, a factory script asking STATUS
// all the while on the remote connection; the wall time of this run is not
// a figure, as the STATUS traffic shares the machine.
int StatusWhileUsbRadiosFlash(int count) {
  const UsbRun run = FlashUsbRadios(count, true);
  const auto& micros = run.statusMicros;
  const double max = micros.empty() ? 0 : *std::max_element(micros.begin(), micros.end());
  std::printf("STATUS over the remote port of vexaload while %d USB radios flash: %zu round trips, median %.1f us, "
              "99th percentile %.1f us, max %.1f us (target: 99th percentile under 1 ms); %d finished, %d failed\n",
              count, micros.size(), Percentile(micros, 0.5), Percentile(micros, 0.99), max, run.finished, run.failed);
  if (!run.firstError.empty()) std::printf("  first error: %s\n", run.firstError.c_str());
  std::fflush(stdout);
  return !micros.empty() && run.finished == count ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 5;
  bool flash = true;
  bool usb = true;
  bool realFlash = true;
  bool preparedStatus = true;
  int usbRadios = 127;
  const auto flag = [](bool& target, bool value) {
    return [&target, value](const char*) {
      target = value;
      return true;
    };
  };
  const BenchOption options[] = {
      {"--seconds", true, [&](const char* v) { return ParseSeconds(v, seconds); }},
      {"--skip-flash", false, flag(flash, false)},
      {"--line-timed", false, flag(lineTimedRadio, true)},
      {"--skip-usb", false, flag(usb, false)},
      {"--skip-real-flash", false, flag(realFlash, false)},
      {"--skip-prepared-status", false, flag(preparedStatus, false)},
      {"--usb-radios", true, [&](const char* v) { return ParseCount(v, usbRadios, 1, 127); }},
      {"--rate", true,
       [&](const char* v) {
         long long wanted = 0;
         if (!ParseNumber(v, 1, 0xFFFFFFFFll, wanted)) return false;
         for (std::size_t r = 0; r < kDataRateTable.size(); ++r) {
           if (kDataRateTable[r] == static_cast<std::uint32_t>(wanted)) {
             rateIndex = static_cast<int>(r);
             return true;
           }
         }
         return false;
       }},
  };
  if (const int exit = ReadBenchArguments(argc, argv, kUsage, options); exit >= 0) return exit;
  QCoreApplication application(argc, argv);
  GetAppSettings().SetIntParam(OPTION_REMOTE_PORT, 0);
  GetAppSettings().SetIntParam(OPTION_ENABLE_REMOTE_CONTROL, 1);

  UserIoStandIn userIo;
  PreprocessingStandIn preprocessing;
  CRemoteIOThread remote;
  SetTargetThread(PT_USER_IO, userIo.Id());
  SetTargetThread(PT_PREPROCESSING, preprocessing.Id());
  SetTargetThread(PT_REMOTE_IO, remote.Id());
  userIo.Create();
  preprocessing.Create();
  remote.Create(true);
  remote.Resume();
  const auto listenDeadline = Clock::now() + std::chrono::seconds(10);
  while (remote.ListeningPort() == 0 && Clock::now() < listenDeadline) std::this_thread::yield();
  if (remote.ListeningPort() == 0) {
    std::fprintf(stderr, "the remote-control server did not listen\n");
    return 1;
  }
  int result = StatusRoundTrips(remote.ListeningPort(), seconds);
  for (platform::WorkerThread* thread : std::initializer_list<platform::WorkerThread*>{&userIo}) {
    thread->Post(WM_QUIT_THREAD);
    thread->Join();
  }
  if (result == 0 && flash) {
    // The log and the status records of the flash go to recording targets.
    platform::RegisteredQueue logs(platform::TargetKind::Thread);
    platform::RegisteredQueue mainWindow(platform::TargetKind::Window);
    SetTargetThread(PT_USER_IO, logs.handle());
    SetMainWindow(mainWindow.handle());
    result = RemoteFlash(remote.ListeningPort(), logs, mainWindow);
    SetTargetThread(PT_USER_IO, platform::kNoHandle);
    ClearMainWindow();
  }
  for (platform::WorkerThread* thread : std::initializer_list<platform::WorkerThread*>{&remote, &preprocessing}) {
    thread->Post(WM_QUIT_THREAD);
    thread->Join();
  }
  if (realFlash && RealProgramFlash() != 0) result = 1;
  if (preparedStatus && StatusWhileJobsArePrepared() != 0) result = 1;
  if (usb && UsbFanout(usbRadios) != 0) result = 1;
  if (usb && StatusWhileUsbRadiosFlash(usbRadios) != 0) result = 1;
  return result;
}
