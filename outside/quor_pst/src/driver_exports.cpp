// The stand-in as the driver of the export layer: every call is logged, and
// a status that a test forced for the function is returned instead of doing
// the call.

#include "call_log.h"
#include "pst_driver.h"
#include "quor_pst/quor_pst.h"
#include "stand_in.h"

namespace quor_pst {
namespace {

class StandInDriver final : public ForwardingPstDriver<StandIn, &StandIn::Instance> {
 public:
  // The stand-in's device list is always current.
  int Refresh() override { return PST_OK; }

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
