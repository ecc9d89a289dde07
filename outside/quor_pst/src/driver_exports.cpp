// The stand-in as the driver of the export layer: every call is logged, and
// a status that a test forced for the function is returned instead of doing
// the call.

#include "call_log.h"
#include "pst_driver.h"
#include "quor_pst/quor_pst.h"
#include "stand_in.h"

namespace quor_pst {
namespace {

class StandInDriver final : public PstDriver {
 public:
  int Initialize() override { return Driver().Initialize(); }
  int Uninitialize() override { return Driver().Uninitialize(); }
  int Read(std::uint16_t device, int handle, int pipe, void* buffer, std::uint32_t wanted, std::uint32_t& moved,
           std::uint32_t timeoutMs) override {
    return Driver().Read(device, handle, pipe, buffer, wanted, moved, timeoutMs);
  }
  int Write(std::uint16_t device, int handle, int pipe, const void* buffer, std::uint32_t length,
            std::uint32_t& moved, std::uint32_t timeoutMs) override {
    return Driver().Write(device, handle, pipe, buffer, length, moved, timeoutMs);
  }
  int InterfaceHandleOf(std::uint16_t device, const char* name, int& handle) override {
    return Driver().InterfaceHandleOf(device, name, handle);
  }
  int DeviceList(std::uint16_t* ids, int capacity, int& count) override {
    return Driver().DeviceList(ids, capacity, count);
  }
  // The stand-in's device list is always current.
  int Refresh() override { return PST_OK; }
  int RegisterChangeWindow(std::uint32_t window) override { return Driver().RegisterChangeWindow(window); }
  int RegisterMonitorWindow(std::uint32_t window) override { return Driver().RegisterMonitorWindow(window); }
  int MaxBulkSize(int& size) override { return Driver().MaxBulkSize(size); }
  int EndpointSize(std::uint16_t device, const char* name, bool out, std::int16_t& size) override {
    return Driver().EndpointSize(device, name, out, size);
  }

  std::optional<int> ForcedStatus(const PstCallArgs& call) override { return Driver().Forced().Take(call.function); }

  void Record(const PstCallArgs& call, const PstCallResult& result) override {
    QuorSimCall entry = MakeCall(call.function, call.device, call.handle, call.pipe, call.requested, call.timeoutMs);
    entry.moved = result.moved;
    entry.status = result.status;
    Driver().Log().Add(entry);
  }

 private:
  static StandIn& Driver() { return StandIn::Instance(); }
};

}  // namespace

PstDriver& ExportedDriver() {
  static StandInDriver driver;
  return driver;
}

}  // namespace quor_pst
