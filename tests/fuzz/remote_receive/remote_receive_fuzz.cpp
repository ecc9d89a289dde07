// Fuzzes the remote-control receive path with arbitrary bytes in arbitrary
// pieces: the first byte seeds the piece sizes, the rest is the stream.
// Each piece goes through the receive (NUL bytes dropped) and the line
// cutter; then every line is fed to the tokenizer as a command would be.
// Without an overflow, the lines and the pending text together are the
// stream without its NUL bytes; no line holds a line feed; the pending
// text never exceeds the bound.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/quillon_exception.h"
#include "shell/remote/remote_line_buffer.h"
#include "shell/script/script_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::uint32_t seed = data[0] * 2654435761u + 1;
  const char* stream = reinterpret_cast<const char*>(data + 1);
  const std::size_t length = size - 1;

  RemoteLineBuffer buffer;
  std::string rebuilt;
  bool overflowed = false;
  std::size_t offset = 0;
  while (offset < length) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t piece = std::min<std::size_t>(length - offset, 1 + (seed >> 16) % 1024);
    const std::string text = RemoteTextOfBytes(stream + offset, piece);
    if (text.find('\0') != std::string::npos) std::abort();
    offset += piece;
    auto result = buffer.Append(text);
    overflowed = overflowed || result.overflowed;
    for (const auto& line : result.lines) {
      if (line.find('\n') != std::string::npos) std::abort();
      rebuilt += line;
      rebuilt += '\n';
      ScriptTokens tokens;
      try {
        SplitScriptLine(line, tokens);
      } catch (QUILLON_EXCEPTION e) {
        if (e != QUILLON_ERROR) std::abort();
      }
    }
    if (buffer.Pending().size() > RemoteLineBuffer::kCapacity) std::abort();
  }
  if (!overflowed) {
    rebuilt += buffer.Pending();
    if (rebuilt != RemoteTextOfBytes(stream, length)) std::abort();
  }
  buffer.Clear();
  if (!buffer.Pending().empty()) std::abort();
  return 0;
}
