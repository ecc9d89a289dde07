#include "gps_sim/chip_server.h"

namespace gps_sim {
namespace {

constexpr std::chrono::milliseconds kWriteTimeout{5000};

class TerminalLink : public ByteLink {
 public:
  explicit TerminalLink(platform::PseudoTerminal& terminal) : terminal_(terminal) {}
  long Read(std::uint8_t* buffer, std::size_t length, std::chrono::milliseconds timeout) override {
    return terminal_.Read(buffer, length, timeout);
  }
  bool Write(const std::uint8_t* buffer, std::size_t length) override {
    return terminal_.Write(buffer, length, kWriteTimeout);
  }
  std::uint32_t HostBaudRate() const override { return terminal_.HostBaudRate(); }

 private:
  platform::PseudoTerminal& terminal_;
};

}  // namespace

ChipServer::ChipServer(ChipOptions options) : chip_(std::move(options)) {}

ChipServer::~ChipServer() { Stop(); }

bool ChipServer::Start(const std::string& comFolder, int comNumber) {
  if (!terminal_.Open() || !terminal_.LinkAs(comFolder, comNumber)) return false;
  link_ = std::make_unique<TerminalLink>(terminal_);
  thread_ = std::thread([this] { chip_.Serve(*link_); });
  return true;
}

void ChipServer::Stop() {
  chip_.Stop();
  terminal_.Cancel();
  if (thread_.joinable()) thread_.join();
  terminal_.Unlink();
  terminal_.Close();
}

}  // namespace gps_sim
