#include "shell/scramble/crypt_file.h"

#include <mutex>
#include <ostream>

#include "engine/prompt/prompt_service.h"
#include "platform/file_io.h"

namespace {

constexpr const char* kHelpText =
    "Help:\r\nCrypt /d \"Source file\" \"Destination file\"   For Decryption\r\n"
    "Crypt /e \"Source file\" \"Destination file\"   For Encryption\r\n";

// The process-wide scramble buffer.
struct ScrambleBuffer {
  std::mutex mutex;
  std::string bytes;
};

ScrambleBuffer& Buffer() {
  static ScrambleBuffer buffer;
  return buffer;
}

}  // namespace

bool LoadCryptFile(const std::string& source, std::string& text) {
  std::string contents;
  if (!platform::ReadWholeFile(source, contents)) {
    AppMessageBox("Source file could not be opened\n");
    return false;
  }
  text = contents;
  std::lock_guard lock(Buffer().mutex);
  Buffer().bytes = std::move(contents);
  return true;
}

void CryptBuffer(const std::string&) {
  std::lock_guard lock(Buffer().mutex);
  for (char& c : Buffer().bytes) c = static_cast<char>(static_cast<std::uint8_t>(c) ^ kCryptKey);
}

bool SaveCryptFile(const std::string& destination) {
  std::string bytes;
  {
    std::lock_guard lock(Buffer().mutex);
    bytes = Buffer().bytes;
  }
  if (!platform::WriteFileAtomically(destination, bytes)) {
    AppMessageBox("Destination file could not be opened\n");
    return false;
  }
  return true;
}

std::string CryptBufferContents() {
  std::lock_guard lock(Buffer().mutex);
  return Buffer().bytes;
}

int CryptFileMain(const std::vector<std::string>& arguments, std::ostream& out) {
  // Asked for, the help is an answer like any other.
  if (arguments.size() == 2 && (arguments[1] == "--help" || arguments[1] == "-h" || arguments[1] == "/?")) {
    out << kHelpText;
    return 0;
  }
  if (arguments.size() != 4 || (arguments[1] != "/d" && arguments[1] != "/e")) {
    out << kHelpText;
    return 2;
  }
  std::string text;
  if (!LoadCryptFile(arguments[2], text)) return 1;
  CryptBuffer(text);
  if (!SaveCryptFile(arguments[3])) return 1;
  out << (arguments[1] == "/e" ? "Encrypt succeed!\n" : "Decrypt succeed!\n");
  return 0;
}
