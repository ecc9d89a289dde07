#pragma once
// The radio's boot loader in ROM, fed one byte at a time: it answers the
// ping "aA" (or stays silent, by type) and takes one download message:
// preamble 55 55 55 AA, load address, length, speed code, image, checksum.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "radiosim/radio_config.h"

namespace radiosim {

struct KernelDownload {
  std::uint32_t address = 0;
  std::uint32_t length = 0;      // the image bytes taken
  std::uint16_t speedCode = 0;
  std::vector<std::uint8_t> image;
  bool checksumOk = false;
};

class BootLoader {
 public:
  struct Output {
    std::vector<std::uint8_t> reply;            // bytes to the host
    std::optional<KernelDownload> download;     // a download message ended
    std::vector<std::string> notes;             // for the transcript
  };

  BootLoader(BootLoaderType type, LinkKind link, std::uint32_t ramSize);

  void Feed(std::uint8_t byte, Output& out);
  // Forgets a partial download message (the line went quiet).
  void Abandon(Output& out);
  bool InMessage() const { return state_ != State::Scanning; }

  // The answer to the ping, or nothing for a boot loader that does not answer.
  std::optional<std::uint8_t> PingAnswer() const;
  // Bytes after the preamble up to the image: address, length field(s), speed code.
  std::size_t HeaderSize() const;

 private:
  enum class State { Scanning, Header, Image, Checksum };

  void Scan(std::uint8_t byte, Output& out);
  void HeaderDone(Output& out);
  void Finish(std::uint8_t checksum, Output& out);
  void Reset();

  BootLoaderType type_;
  LinkKind link_;
  std::uint32_t ramSize_;
  State state_ = State::Scanning;
  std::uint8_t previous_ = 0;
  int preambleCount_ = 0;
  std::vector<std::uint8_t> header_;
  KernelDownload current_;
  std::uint8_t sum_ = 0;
};

}  // namespace radiosim
