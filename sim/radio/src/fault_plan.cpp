#include "radiosim/fault_plan.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

namespace radiosim {
namespace {

constexpr std::array<std::pair<FaultKind, const char*>, kFaultKindCount> kFaultNames{{
    {FaultKind::Nak, "nak"},
    {FaultKind::NoAck, "no-ack"},
    {FaultKind::WrongAck, "wrong-ack"},
    {FaultKind::NoReply, "no-reply"},
    {FaultKind::BadChecksum, "bad-checksum"},
    {FaultKind::BadHeader, "bad-header"},
    {FaultKind::ZeroLength, "zero-length"},
    {FaultKind::OverlongLength, "overlong-length"},
    {FaultKind::ShortReply, "short-reply"},
    {FaultKind::ErrorStatus, "error-status"},
    {FaultKind::StatusUnavailable, "status-unavailable"},
    {FaultKind::Silence, "silence"},
    {FaultKind::KernelNeverStarts, "kernel-never-starts"},
    {FaultKind::EraseFailure, "erase-failure"},
    {FaultKind::ProgramFailure, "program-failure"},
    {FaultKind::VerifyError, "verify-error"},
    {FaultKind::ProtectedSector, "protected-sector"},
    {FaultKind::Stall, "stall"},
    {FaultKind::RefusedRegion, "refused-region"},
    {FaultKind::WrongReadLength, "wrong-read-length"},
    {FaultKind::OversizedRegion, "oversized-region"},
    {FaultKind::OversizedFdi, "oversized-fdi"},
    {FaultKind::LongText, "long-text"},
}};

// Every kind has its name, in the kinds' order.
constexpr bool NamesEveryKindInOrder() {
  for (std::size_t i = 0; i < kFaultNames.size(); ++i) {
    if (static_cast<std::size_t>(kFaultNames[i].first) != i || kFaultNames[i].second == nullptr) return false;
  }
  return true;
}
static_assert(NamesEveryKindInOrder(), "every fault kind needs its name");

std::optional<long> ParseNumber(const std::string& text, int base) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, base);
  if (end == nullptr || *end != '\0') return std::nullopt;
  return value;
}

}  // namespace

void FaultPlan::Add(const Fault& fault) { faults_.push_back(fault); }

void FaultPlan::Clear() { faults_.clear(); }

bool FaultPlan::Take(FaultKind kind, int request) {
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (it->kind != kind) continue;
    if (it->request != -1 && it->request != request) continue;
    if (it->count > 0 && --it->count == 0) faults_.erase(it);
    return true;
  }
  return false;
}

bool FaultPlan::Pending(FaultKind kind) const {
  return std::any_of(faults_.begin(), faults_.end(),
                     [kind](const Fault& f) { return f.kind == kind; });
}

const char* FaultName(FaultKind kind) {
  for (const auto& [k, name] : kFaultNames)
    if (k == kind) return name;
  return "unknown";
}

std::optional<FaultKind> ParseFaultName(const std::string& name) {
  for (const auto& [k, text] : kFaultNames)
    if (name == text) return k;
  return std::nullopt;
}

std::optional<Fault> ParseFault(const std::string& text) {
  std::string rest = text;
  Fault fault{FaultKind::Nak};
  if (auto at = rest.find('@'); at != std::string::npos) {
    auto request = ParseNumber(rest.substr(at + 1), 16);
    if (!request || *request < 0 || *request > 0xFFFF) return std::nullopt;
    fault.request = static_cast<int>(*request);
    rest.resize(at);
  }
  if (auto colon = rest.find(':'); colon != std::string::npos) {
    auto count = ParseNumber(rest.substr(colon + 1), 10);
    if (!count || *count == 0 || *count < -1) return std::nullopt;
    fault.count = static_cast<int>(*count);
    rest.resize(colon);
  }
  auto kind = ParseFaultName(rest);
  if (!kind) return std::nullopt;
  fault.kind = *kind;
  return fault;
}

}  // namespace radiosim
