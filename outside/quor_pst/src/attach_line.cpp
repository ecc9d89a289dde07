#include "attach_line.h"

#include <sstream>
#include <vector>

#include "interface_table.h"

namespace quor_pst {

namespace {

bool ParseNumber(const std::string& text, long min, long max, long& value) {
  if (text.empty() || text.size() > 6) return false;
  long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < min || v > max) return false;
  value = v;
  return true;
}

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, ',')) parts.push_back(part);
  return parts;
}

AttachParse Failure(const char* reason) { return AttachParse{std::nullopt, reason}; }

}  // namespace

unsigned InterfaceBitOf(const std::string& name) {
  for (const auto& entry : kInterfaces) {
    if (name == entry.name) return entry.bit;
  }
  return 0;
}

AttachParse ParseAttachLine(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  if ((words.size() != 3 && words.size() != 5) || words[0] != "ATTACH") return Failure("syntax");

  AttachRequest request;
  long value = 0;
  if (!ParseNumber(words[1], 0, kMaxBusDeviceId, value)) return Failure("device id");
  request.device = static_cast<std::uint16_t>(value);

  for (const std::string& name : SplitCommas(words[2])) {
    unsigned bit = InterfaceBitOf(name);
    if (bit == 0) return Failure("interface");
    request.interfaces |= bit;
  }
  if (request.interfaces == 0) return Failure("interface");

  if (words.size() == 5) {
    long out = 0, inSize = 0;
    if (!ParseNumber(words[3], 1, 32767, out) || !ParseNumber(words[4], 1, 32767, inSize)) {
      return Failure("endpoint size");
    }
    request.outEpSize = static_cast<std::int16_t>(out);
    request.inEpSize = static_cast<std::int16_t>(inSize);
  }
  return AttachParse{request, {}};
}

}  // namespace quor_pst
