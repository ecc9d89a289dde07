#include "program_fixture.h"

#include <QProcessEnvironment>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "engine/images/srecord_file.h"
#include "platform/parent_death.h"

namespace e2e {

namespace {

// The product as the radio's flash is laid out: twelve CODE sectors, two
// CODEPLUG and two FLASHPACK sectors of 64 KiB.
constexpr char kProductText[] = R"(# the radio of the conformance suite
product VEXA20
{
    processor Harrow;
    flash main size = 1M type = nor vendor = Intel num_sectors = 16
    {
        partition = 0 boot size = 1M type = code chip_select = 0;
        address = 0, sector_size = 64K, num_sectors = 12, type = CODE;
        address = 0xC0000, sector_size = 64K, num_sectors = 2, type = CODEPLUG;
        address = 0xE0000, sector_size = 64K, num_sectors = 2, type = FLASHPACK;
    }
}
)";

constexpr char kComFolder[] = "com";
constexpr char kUsbSocket[] = "usb.sock";
constexpr char kAnswers[] = "answers";
constexpr char kPromptRecord[] = "prompts.rec";
constexpr char kOutput[] = "vexaload.out";

std::string LogName() { return std::string(kTitle) + ".log"; }

// "[hh:mm:ss] text" without its time stamp.
std::string WithoutTimeStamp(const std::string& line) {
  if (line.size() >= 11 && line[0] == '[' && line[9] == ']' && line[10] == ' ') return line.substr(11);
  return line;
}

}  // namespace

// ---- client ------------------------------------------------------------------

bool LineClient::SendRaw(const std::string& bytes) {
  return socket_.Send(bytes.data(), bytes.size(), std::chrono::duration_cast<platform::Milliseconds>(kDeadline))
             .status == platform::IoResult::Ok;
}

std::optional<std::string> LineClient::ReadLine(std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  for (;;) {
    const auto feed = pending_.find('\n');
    if (feed != std::string::npos) {
      std::string line = pending_.substr(0, feed + 1);
      pending_.erase(0, feed + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<platform::Milliseconds>(end - Clock::now());
    if (left.count() <= 0) return std::nullopt;
    char buffer[65536];
    const auto got = socket_.Receive(buffer, sizeof buffer, left);
    if (got.status != platform::IoResult::Ok) return std::nullopt;
    pending_.append(buffer, got.count);
  }
}

bool LineClient::ClosedByPeer(std::chrono::milliseconds timeout) {
  if (!pending_.empty()) return false;
  char byte = 0;
  const auto got = socket_.Receive(&byte, 1, std::chrono::duration_cast<platform::Milliseconds>(timeout));
  return got.status == platform::IoResult::Closed;
}

// ---- program -----------------------------------------------------------------

radiosim::RadioConfig ProductRadio(radiosim::LinkKind link) {
  radiosim::RadioConfig config;
  config.bootLoader = radiosim::BootLoaderType::Harrow;
  config.link = link;
  config.powerOn = radiosim::PowerOnState::BootLoader;
  config.sectorLayout = {{kSectorSize, kSectorCount}};
  return config;
}

std::uint16_t FreePort() {
  int error = 0;
  auto probe = platform::TcpListener::Listen(0, 1, &error);
  return probe.Port();
}

std::vector<std::uint8_t> SRecordBytes(const std::string& path, std::uint32_t from, std::uint32_t length) {
  std::vector<std::uint8_t> out(length, 0xFF);
  CSRecordFile file;
  file.OpenSRecordFile(path, CSRecordFile::kModeRead);
  std::vector<std::uint8_t> buffer(0x10000);
  for (;;) {
    std::uint32_t address = 0, type = 0, count = 0;
    file.ReadSRecordBlock(buffer.data(), static_cast<std::uint32_t>(buffer.size()), address, type, count);
    if (type >= 7) break;
    if (type == 0) continue;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint64_t at = static_cast<std::uint64_t>(address) + i;
      if (at >= from && at < static_cast<std::uint64_t>(from) + length) out[at - from] = buffer[i];
    }
  }
  file.CloseSRecordFile();
  return out;
}

Program::Program() {
  std::filesystem::create_directories(folder_.Path() / kComFolder);
  test_support::WriteKernelFiles(folder_);
  Write(kProductFile, kProductText);
  Write(kAnswers, "# every box takes its default answer\n");
}

Program::~Program() {
  if (::testing::Test::HasFailure()) ReportOutput();
  if (process_) {
    if (process_->state() != QProcess::NotRunning) {
      process_->kill();
      process_->waitForFinished(30000);
    }
    process_.reset();
  }
  usbFronts_.clear();
  usbRadios_.clear();
  for (auto& front : otherComFronts_) front->Stop();
  otherComFronts_.clear();
  otherComRadios_.clear();
  if (comFront_) comFront_->Stop();
  comFront_.reset();
  comRadio_.reset();
}

void Program::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream(File(name), std::ios::binary) << bytes;
}

void Program::Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
  Write(name, std::string(bytes.begin(), bytes.end()));
}

std::string Program::Read(const std::string& name) const {
  std::ifstream in(File(name), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Program::Exists(const std::string& name) const { return std::filesystem::exists(File(name)); }

radiosim::RadioSimulator& Program::ServeRadioOnCom1(radiosim::RadioConfig config) {
  comRadio_ = std::make_unique<radiosim::RadioSimulator>(std::move(config));
  comFront_ = std::make_unique<radiosim::PtyFrontEnd>(*comRadio_);
  EXPECT_TRUE(comFront_->Start() && comFront_->LinkAs(File(kComFolder), 1)) << "no radio on COM1";
  return *comRadio_;
}

radiosim::RadioSimulator& Program::ServeRadioOnCom(int number, radiosim::RadioConfig config) {
  otherComRadios_.push_back(std::make_unique<radiosim::RadioSimulator>(std::move(config)));
  otherComFronts_.push_back(std::make_unique<radiosim::PtyFrontEnd>(*otherComRadios_.back()));
  EXPECT_TRUE(otherComFronts_.back()->Start() && otherComFronts_.back()->LinkAs(File(kComFolder), number))
      << "no radio on COM" << number;
  return *otherComRadios_.back();
}

radiosim::RadioSimulator& Program::AttachUsbRadio(int deviceId, radiosim::RadioConfig config) {
  config.link = radiosim::LinkKind::Usb;
  const auto loader = config.bootLoader;
  usbRadios_.push_back(std::make_unique<radiosim::RadioSimulator>(std::move(config)));
  usbFronts_.push_back(std::make_unique<radiosim::UsbFrontEnd>(*usbRadios_.back()));
  EXPECT_TRUE(PollUntil([&] { return Exists(kUsbSocket); })) << "the USB stand-in has no device socket";
  std::string error;
  EXPECT_TRUE(usbFronts_.back()->Attach(File(kUsbSocket), deviceId, radiosim::UsbInterfacesFor(loader), &error))
      << error;
  return *usbRadios_.back();
}

void Program::WriteConfiguration(const ProgramOptions& options) {
  port_ = options.remotePort != 0 ? options.remotePort : FreePort();
  std::ostringstream text;
  text << "comm_protocol=" << options.commProtocol << "\n"
       << "serial_port=0\n"
       << "data_rate=" << options.dataRate << "\n"
       << "data_rate_divisor=0\n"
       << "remote_port=" << port_ << "\n"
       << "auto_erase_flash=" << options.autoErase << "\n"
       << "enable_remote_control=" << options.remoteControl << "\n"
       << "flash_product_file=" << kProductFile << "\n"
       << "flash_product_tag=" << kProductTag << "\n"
       << "quillon_server=http://127.0.0.1:1/\n"
       << "current_working_directory=" << Dir() << "\n";
  Write(std::string(kTitle) + ".cfg", text.str());
}

bool Program::Start(const ProgramOptions& options) {
  if (!Launch(options)) return false;
  const std::string configured = "Reading configuration file " + File(std::string(kTitle) + ".cfg");
  if (!WaitLog(configured)) {
    ADD_FAILURE() << "vexaload did not read its configuration";
    return false;
  }
  return true;
}

bool Program::Launch(const ProgramOptions& options) {
  if (!options.keepConfiguration || port_ == 0) WriteConfiguration(options);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("QUILLON_PROMPTS", QString::fromStdString(File(kAnswers)));
  environment.insert("QUILLON_PROMPTS_RECORD", QString::fromStdString(File(kPromptRecord)));
  environment.insert("QUILLON_COM_DIR", QString::fromStdString(File(kComFolder)));
  environment.insert("QUOR_PST_SOCKET", QString::fromStdString(File(kUsbSocket)));
  for (const auto& [name, value] : options.environment) {
    environment.insert(QString::fromStdString(name), QString::fromStdString(value));
  }
  process_ = std::make_unique<QProcess>();
  process_->setProcessEnvironment(environment);
  // Should this test program crash, the program goes with it.
  process_->setChildProcessModifier([] { platform::EndWithParent(); });
  process_->setWorkingDirectory(QString::fromStdString(Dir()));
  process_->setStandardOutputFile(QString::fromStdString(File(kOutput)));
  process_->setStandardErrorFile(QString::fromStdString(File(kOutput)), QIODevice::Append);
  QStringList arguments{"-id", kTitle};
  for (const auto& argument : options.arguments) arguments << QString::fromStdString(argument);
  process_->start(QUILLON_VEXALOAD, arguments);
  if (!process_->waitForStarted(30000)) {
    ADD_FAILURE() << "vexaload did not start: " << process_->errorString().toStdString();
    return false;
  }
  return true;
}

std::string Program::Output() const { return Read(kOutput); }

LineClient Program::Connect(const std::string& address) {
  platform::TcpSocket socket;
  PollUntil([&] {
    int error = 0;
    socket = platform::ConnectTcp(address, port_, std::chrono::seconds(2), &error);
    return socket.Valid() || !Running();
  });
  EXPECT_TRUE(socket.Valid()) << "no remote connection on port " << port_;
  return LineClient(std::move(socket));
}

std::vector<std::string> Program::LogLines() const {
  std::vector<std::string> lines;
  std::istringstream in(Read(LogName()));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(WithoutTimeStamp(line));
  }
  return lines;
}

bool Program::WaitLog(const std::string& line, std::chrono::milliseconds timeout) const {
  return WaitLogCount(line, 1, timeout);
}

bool Program::WaitLogCount(const std::string& line, std::size_t count, std::chrono::milliseconds timeout) const {
  const bool seen = PollUntil(
      [&] {
        std::size_t found = 0;
        for (const auto& l : LogLines()) found += l == line ? 1 : 0;
        return found >= count;
      },
      timeout);
  if (!seen) ADD_FAILURE() << "the log never showed: " << line;
  return seen;
}

std::vector<std::string> Program::Prompts() const {
  std::vector<std::string> lines;
  std::istringstream in(Read(kPromptRecord));
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::optional<int> Program::WaitForExit(std::chrono::milliseconds timeout) {
  if (!process_) return std::nullopt;
  if (process_->state() != QProcess::NotRunning && !process_->waitForFinished(static_cast<int>(timeout.count()))) {
    return std::nullopt;
  }
  if (process_->exitStatus() != QProcess::NormalExit) return std::nullopt;
  return process_->exitCode();
}

void Program::ReportOutput() const {
  std::cerr << "---- " << LogName() << " ----\n" << Read(LogName()) << "---- " << kOutput << " ----\n"
            << Read(kOutput) << "----\n";
}

std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t state = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(state >> 16);
  }
  return bytes;
}

std::string FinishedLine(const std::string& device, int sequence) {
  return device + "> Item finished with sequence number " + std::to_string(sequence);
}

}  // namespace e2e
