#pragma once
// The record of every driver call, and the statuses that tests force.

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "quor_pst/quor_sim_control.h"

namespace quor_pst {

class CallLog {
 public:
  void Add(const QuorSimCall& call);
  int Count() const;
  std::optional<QuorSimCall> At(int index) const;
  int CountOf(const std::string& function) const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<QuorSimCall> calls_;
};

class ForcedStatuses {
 public:
  // count -1: until cleared.
  void Force(const std::string& function, int status, int count);
  // The forced status of this call of the function, if any (and uses it up).
  std::optional<int> Take(const std::string& function);
  void Clear();

 private:
  struct Forced {
    int status;
    int remaining;
  };
  std::mutex mutex_;
  std::map<std::string, Forced> forced_;
};

// A log entry for a call; lengths and status are filled in as it ends.
QuorSimCall MakeCall(const char* function, unsigned device = 0xFFFF, int handle = 0, int pipe = 0,
                     unsigned requested = 0, unsigned timeoutMs = 0);

}  // namespace quor_pst
