#pragma once
// The smartphone's side of its terminal link, as a state machine over bytes.
//
// The link carries frames: one type byte, a 4-byte big-endian length, the
// data. Towards the phone: 'L' a terminal line as typed (ending in a carriage
// return), 'F' a file that follows a load line (4-byte name length, the name,
// the contents). From the phone: 'T' terminal output, 'P' one byte of
// progress in percent. After every command the phone prints its prompt ">".
//
// Commands: `format 1` empties the file system; `l "name"` stores the file
// that follows. Anything else is answered "Unknown command".

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace smartphone_sim {

struct SessionFaults {
  bool failTransfers = false;   // every file load ends in "Transfer failed"
  bool failFormat = false;      // a format ends in "Format error"
  bool silent = false;          // commands are taken but never answered
  std::size_t capacity = 64 * 1024 * 1024;  // bytes the file system holds
};

class SmartphoneSession {
 public:
  explicit SmartphoneSession(SessionFaults faults = {}) : faults_(faults) {}

  // Takes bytes from the link and gives back what the phone sends in answer.
  std::vector<std::uint8_t> Feed(const std::uint8_t* data, std::size_t length);

  std::map<std::string, std::vector<std::uint8_t>> Files() const;
  // Every line the phone received, in order.
  std::vector<std::string> Transcript() const;
  void SetFaults(const SessionFaults& faults);

 private:
  void HandleFrame(char type, const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& out);
  void HandleLine(const std::string& line, std::vector<std::uint8_t>& out);
  void HandleFile(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& out);
  std::size_t UsedBytes() const;

  mutable std::mutex mutex_;
  SessionFaults faults_;
  std::vector<std::uint8_t> pending_;     // bytes of an incomplete frame
  std::string awaitedFile_;               // name of a load line whose file has not come yet
  std::map<std::string, std::vector<std::uint8_t>> files_;
  std::vector<std::string> transcript_;
};

}  // namespace smartphone_sim
