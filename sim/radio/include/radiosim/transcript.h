#pragma once
// The simulated radio's record of what it received, sent and did, one line
// per step, kept in memory for tests and optionally appended to a file.

#include <cstdint>
#include <fstream>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace radiosim {

class Transcript {
 public:
  Transcript() = default;
  // Appends every line to the file as well; false when it cannot be opened.
  bool OpenFile(const std::string& path);

  void Add(const std::string& line);
  std::vector<std::string> Lines() const;
  // Lines that begin with the prefix.
  std::vector<std::string> LinesStartingWith(const std::string& prefix) const;
  std::size_t Count(const std::string& prefix) const;
  void Clear();

  static std::string Hex(std::span<const std::uint8_t> bytes);

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::ofstream file_;
};

}  // namespace radiosim
