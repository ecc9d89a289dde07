// Bulk throughput of the two USB driver libraries in one run: the stand-in
// (bin/libQuor_PST.so, its data plane a Unix socket to a device process)
// and the driver over libusb (bin/libusb/libQuor_PST.so) against a radio
// that the USB test bed presents to libusb through umockdev, every byte in
// a usbdevfs URB served by this process. Both devices either swallow what
// they get (write figure) or send it back (echo figure: each byte crosses
// the bus twice). No target: the libusb figure over umockdev measures the
// emulation, not a cable; real hardware gives the real one.
//
// Run it under umockdev's preload library:
//   LD_PRELOAD=libumockdev-preload.so.0 build/normal/bin/bench_usb_libusb [MiB]

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/temp_folder.h"
#include "platform/unix_socket.h"
#include "usb_testbed/radio_bridge.h"
#include "usb_testbed/usb_testbed.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPipeBulk = 2;
constexpr std::uint32_t kTimeoutMs = 5000;

// The driver entry points the benchmark calls.
struct Driver {
  std::unique_ptr<platform::DynamicLibrary> library;
  int (*initialize)() = nullptr;
  int (*uninitialize)() = nullptr;
  int (*deviceList)(std::uint16_t*, int, int*) = nullptr;
  int (*interfaceHandle)(std::uint16_t, const char*, int*) = nullptr;
  int (*maxBulk)(int*) = nullptr;
  int (*write)(std::uint16_t, int, int, const void*, std::uint32_t*, std::uint32_t) = nullptr;
  int (*read)(std::uint16_t, int, int, void*, std::uint32_t*, std::uint32_t) = nullptr;

  bool Load(const std::string& name) {
    std::string error;
    library = platform::DynamicLibrary::Load(name, &error);
    if (!library) {
      std::fprintf(stderr, "cannot load %s: %s\n", name.c_str(), error.c_str());
      return false;
    }
    initialize = library->Function<decltype(initialize)>("Quor_PSTInitialize");
    uninitialize = library->Function<decltype(uninitialize)>("Quor_PSTUninitialize");
    deviceList = library->Function<decltype(deviceList)>("Quor_PSTGetDeviceList");
    interfaceHandle = library->Function<decltype(interfaceHandle)>("Quor_PSTGetInterfaceHandle");
    maxBulk = library->Function<decltype(maxBulk)>("Quor_PSTGetMaxBulkDataSize");
    write = library->Function<decltype(write)>("Quor_PSTWriteData");
    read = library->Function<decltype(read)>("Quor_PSTReadData");
    return initialize && uninitialize && deviceList && interfaceHandle && maxBulk && write && read;
  }
};

// The stand-in's device process: attaches one device and swallows or
// echoes its bulk bytes.
class SocketPeer {
 public:
  SocketPeer(const std::string& socketPath, bool echo) : echo_(echo) {
    socket_ = platform::ConnectUnix(socketPath);
    const std::string line = "ATTACH 1 Corvane_Flash 512 512\n";
    if (!socket_.Valid() || !socket_.SendAll(line.data(), line.size())) return;
    std::string answer;
    char c = 0;
    while (socket_.Receive(&c, 1, platform::Milliseconds{5000}).status == platform::IoResult::Ok && c != '\n')
      answer += c;
    if (answer != "OK") return;
    attached_ = true;
    thread_ = std::thread([this] { Serve(); });
  }
  ~SocketPeer() {
    running_ = false;
    socket_.Shutdown();
    if (thread_.joinable()) thread_.join();
  }
  bool Attached() const { return attached_; }

 private:
  void Serve() {
    std::vector<std::uint8_t> buffer(65536);
    while (running_) {
      auto got = socket_.Receive(buffer.data(), buffer.size(), platform::Milliseconds{200});
      if (got.status == platform::IoResult::Timeout) continue;
      if (got.status != platform::IoResult::Ok) break;
      if (echo_) socket_.SendAll(buffer.data(), got.count);
    }
  }
  bool echo_;
  bool attached_ = false;
  std::atomic<bool> running_{true};
  platform::Socket socket_;
  std::thread thread_;
};

// A test-bed device's sink that drops what the host writes.
class DropSink : public usbtestbed::BulkSink {
 public:
  void FromHost(std::uint8_t, std::span<const std::uint8_t>) override {}
};

struct Figures {
  double writeMBps = 0;
  double echoMBps = 0;
  bool ok = false;
};

// The first connected device and its flash interface, polling until the
// driver lists it.
bool FindDevice(Driver& d, std::uint16_t* device, int* handle) {
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < end) {
    std::uint16_t ids[128];
    int count = 0;
    if (d.deviceList(ids, 128, &count) == 0 && count > 0) {
      *device = ids[0];
      return d.interfaceHandle(*device, "Corvane_Flash", handle) == 0;
    }
    std::this_thread::yield();
  }
  return false;
}

double WriteRate(Driver& d, std::uint16_t device, int handle, std::size_t total, std::size_t chunk) {
  std::vector<std::uint8_t> data(chunk, 0xA5);
  const auto start = Clock::now();
  for (std::size_t sent = 0; sent < total; sent += chunk) {
    std::uint32_t length = static_cast<std::uint32_t>(chunk);
    if (d.write(device, handle, kPipeBulk, data.data(), &length, kTimeoutMs) != 0) return -1;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return total / seconds / 1e6;
}

double EchoRate(Driver& d, std::uint16_t device, int handle, std::size_t total, std::size_t chunk) {
  std::vector<std::uint8_t> data(chunk, 0x5A), back(chunk);
  const auto start = Clock::now();
  for (std::size_t moved = 0; moved < total; moved += chunk) {
    std::uint32_t length = static_cast<std::uint32_t>(chunk);
    if (d.write(device, handle, kPipeBulk, data.data(), &length, kTimeoutMs) != 0) return -1;
    length = static_cast<std::uint32_t>(chunk);
    if (d.read(device, handle, kPipeBulk, back.data(), &length, kTimeoutMs) != 0) return -1;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return total / seconds / 1e6;
}

Figures MeasureStandIn(std::size_t total) {
  Figures f;
  const std::string folder = platform::MakeTemporaryFolder("bench-usb-");
  setenv("QUOR_PST_SOCKET", (folder + "/devices.sock").c_str(), 1);
  unsetenv("QUILLON_USB_DRIVER");
  Driver d;
  if (!d.Load("Quor_PST") || d.initialize() != 0) return f;
  int chunk = 0;
  d.maxBulk(&chunk);
  for (bool echo : {false, true}) {
    SocketPeer peer(folder + "/devices.sock", echo);
    std::uint16_t device = 0;
    int handle = 0;
    if (!peer.Attached() || !FindDevice(d, &device, &handle)) return f;
    const double rate = echo ? EchoRate(d, device, handle, total, static_cast<std::size_t>(chunk))
                             : WriteRate(d, device, handle, total, static_cast<std::size_t>(chunk));
    (echo ? f.echoMBps : f.writeMBps) = rate;
  }
  d.uninitialize();
  std::filesystem::remove_all(folder);
  f.ok = f.writeMBps > 0 && f.echoMBps > 0;
  return f;
}

Figures MeasureLibusb(std::size_t total) {
  Figures f;
  usbtestbed::UsbTestbed testbed;
  auto& radio = testbed.Plug(1, usbtestbed::RadioDevice({"Corvane_Flash"}));
  DropSink drop;
  setenv("QUILLON_USB_DRIVER", "libusb", 1);
  Driver d;
  if (!d.Load("Quor_PST")) return f;
  if (d.library->Path().find("/libusb/") == std::string::npos) {
    std::fprintf(stderr, "QUILLON_USB_DRIVER=libusb loaded %s, not the libusb driver\n", d.library->Path().c_str());
    return f;
  }
  if (d.initialize() != 0) return f;
  int chunk = 0;
  d.maxBulk(&chunk);
  std::uint16_t device = 0;
  int handle = 0;
  if (!FindDevice(d, &device, &handle)) {
    std::fprintf(stderr, "the libusb driver does not list the test bed's radio\n");
    return f;
  }
  radio.SetBulkSink(&drop);
  f.writeMBps = WriteRate(d, device, handle, total, static_cast<std::size_t>(chunk));
  {
    usbtestbed::EchoBridge echo(radio);
    f.echoMBps = EchoRate(d, device, handle, total, static_cast<std::size_t>(chunk));
  }
  d.uninitialize();
  d.library.reset();
  f.ok = f.writeMBps > 0 && f.echoMBps > 0;
  return f;
}

void Print(const char* name, const Figures& f) {
  if (!f.ok) {
    std::printf("%-38s failed\n", name);
    return;
  }
  std::printf("%-38s write %8.1f MB/s   echo %8.1f MB/s\n", name, f.writeMBps, f.echoMBps);
}

}  // namespace

int main(int argc, char** argv) {
  if (!usbtestbed::UsbTestbed::Preloaded()) {
    std::fprintf(stderr, "run under umockdev's preload library: LD_PRELOAD=libumockdev-preload.so.0 %s\n", argv[0]);
    return 2;
  }
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 16;
  const std::size_t total = mib << 20;
  std::printf("bulk throughput, %zu MiB each way, in the drivers' maximum bulk size\n", mib);
  const Figures standIn = MeasureStandIn(total);
  Print("stand-in (Unix socket data plane)", standIn);
  const Figures libusb = MeasureLibusb(total);
  Print("libusb driver (umockdev usbdevfs)", libusb);
  return standIn.ok && libusb.ok ? 0 : 1;
}
