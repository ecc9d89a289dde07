#pragma once
// How one simulated radio is built: its boot loader, the link it sits on,
// the state it powers on in, and how strictly it checks the host's bit rate.

#include <cstdint>
#include <optional>
#include <string>

namespace radiosim {

// The three kinds of boot loader in ROM. Harrow answers the ping with 'Z'
// and takes the 12-byte download header; Calder answers 'l' and takes the
// 14-byte header with a 32-bit length; Bisel does not answer the ping and
// takes the 12-byte header.
enum class BootLoaderType { Harrow, Calder, Bisel };

// Serial: RS232, kernel requests in serial-bus frames with ACK/NAK.
// Usb: bulk pipes, kernel requests preceded by a 2-byte length.
enum class LinkKind { Serial, Usb };

enum class PowerOnState { BootLoader, Kernel };

struct RadioConfig {
  BootLoaderType bootLoader = BootLoaderType::Harrow;
  LinkKind link = LinkKind::Serial;
  PowerOnState powerOn = PowerOnState::BootLoader;
  // The radio's clock is this multiple of the host's: the host opens its
  // port at the nominal rate divided by it.
  std::uint32_t divisor = 1;
  // When set, bytes that arrive at another bit rate than the radio's
  // current one are dropped, as a real UART would garble them.
  bool strictRate = false;
  // The name the kernel gives to the target name query.
  std::string targetName = "VEXA20";
  // A partial frame or download left this long without a new byte is
  // abandoned, so the radio resynchronises on the host's next request.
  std::uint32_t resyncGapMs = 1500;
  // The largest kernel image the RAM takes.
  std::uint32_t ramSize = 1u << 20;
  // When set, every transcript line is appended to this file too.
  std::string transcriptFile{};
};

constexpr std::uint32_t kBootLoaderRate = 19200;
constexpr std::uint32_t kKernelStartRate = 115200;

// Parses the names used on the command line ("harrow", "calder", "bisel";
// "serial", "usb"; "boot", "kernel").
std::optional<BootLoaderType> ParseBootLoaderType(const std::string& text);
std::optional<PowerOnState> ParsePowerOnState(const std::string& text);
const char* BootLoaderTypeName(BootLoaderType type);

}  // namespace radiosim
