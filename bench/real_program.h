#pragma once
// The real vexaload for the benchmarks: started headless (Qt's offscreen
// platform, boxes answered with their defaults) in a temporary folder that
// holds its configuration, product file and kernel files, with the COM map
// and the USB stand-in's device socket in that folder. The benchmark talks
// to it over its remote port and reads its log.

#include <QProcess>
#include <QProcessEnvironment>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/parent_death.h"
#include "platform/tcp_socket.h"
#include "platform/temp_folder.h"

namespace bench {

class RealProgram {
 public:
  using Clock = std::chrono::steady_clock;

  RealProgram() : folder_(platform::MakeTemporaryFolder("quillon-bench-program-")) {
    std::filesystem::create_directories(File("com"));
    Write("answers", "# every box takes its default answer\n");
  }
  ~RealProgram() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(30000);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  RealProgram(const RealProgram&) = delete;
  RealProgram& operator=(const RealProgram&) = delete;

  bool Valid() const { return !folder_.empty(); }
  std::string File(const std::string& name) const { return folder_ + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(File(name), std::ios::binary) << bytes;
  }
  std::string ComFolder() const { return File("com"); }
  std::string UsbSocket() const { return File("usb.sock"); }
  std::uint16_t Port() const { return port_; }

  // Writes the configuration (the lines given plus the remote port, remote
  // control and the working folder) and starts the program; false when it
  // does not read its configuration within the deadline.
  bool Start(const std::string& configurationLines) {
    int error = 0;
    port_ = platform::TcpListener::Listen(0, 1, &error).Port();
    Write("Bench.cfg", configurationLines + "remote_port=" + std::to_string(port_) +
                           "\nenable_remote_control=1\ncurrent_working_directory=" + folder_ + "/\n");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QUILLON_PROMPTS", QString::fromStdString(File("answers")));
    environment.insert("QUILLON_COM_DIR", QString::fromStdString(ComFolder()));
    environment.insert("QUOR_PST_SOCKET", QString::fromStdString(UsbSocket()));
    process_.setProcessEnvironment(environment);
    process_.setChildProcessModifier([] { platform::EndWithParent(); });
    process_.setWorkingDirectory(QString::fromStdString(folder_));
    process_.setStandardOutputFile(QString::fromStdString(File("vexaload.out")));
    process_.setStandardErrorFile(QString::fromStdString(File("vexaload.out")), QIODevice::Append);
    process_.start(QUILLON_VEXALOAD, {"-id", "Bench"});
    if (!process_.waitForStarted(30000)) return false;
    return WaitUntil([&] { return CountLogLines("Reading configuration file") > 0; }, std::chrono::seconds(60));
  }

  // A connection to the remote port, polling until the program listens.
  platform::TcpSocket Connect() {
    platform::TcpSocket socket;
    WaitUntil(
        [&] {
          int error = 0;
          socket = platform::ConnectTcp("127.0.0.1", port_, std::chrono::seconds(2), &error);
          return socket.Valid();
        },
        std::chrono::seconds(60));
    return socket;
  }

  // The log lines that contain the text.
  std::size_t CountLogLines(const std::string& text) const {
    std::ifstream in(File("Bench.log"));
    std::string line;
    std::size_t count = 0;
    while (std::getline(in, line)) count += line.find(text) != std::string::npos ? 1 : 0;
    return count;
  }
  // The first log line that contains the text, or empty.
  std::string FirstLogLine(const std::string& text) const {
    std::ifstream in(File("Bench.log"));
    std::string line;
    while (std::getline(in, line)) {
      if (line.find(text) != std::string::npos) return line;
    }
    return {};
  }

  // Sends TERMINATE_APP on the connection and waits for the program's end;
  // its exit status, or -1.
  int Terminate(platform::TcpSocket& socket) {
    const std::string line = "TERMINATE_APP\n";
    socket.SendAll(line.data(), line.size());
    if (!process_.waitForFinished(60000)) return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
  }

  template <typename Predicate>
  static bool WaitUntil(Predicate predicate, std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    for (;;) {
      if (predicate()) return true;
      if (Clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

 private:
  std::string folder_;
  std::uint16_t port_ = 0;
  QProcess process_;
};

}  // namespace bench
