#pragma once
// How one simulated radio is built: its boot loader, the link it sits on,
// the state it powers on in, and how strictly it checks the host's bit rate.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "radiosim/flash_memory.h"

namespace radiosim {

// The three kinds of boot loader in ROM. Harrow answers the ping with 'Z'
// and takes the 12-byte download header; Calder answers 'l' and takes the
// 14-byte header with a 32-bit length; Bisel does not answer the ping and
// takes the 12-byte header.
enum class BootLoaderType { Harrow, Calder, Bisel };
inline constexpr int kBootLoaderTypeCount = static_cast<int>(BootLoaderType::Bisel) + 1;

// Serial: RS232, kernel requests in serial-bus frames with ACK/NAK.
// Usb: bulk pipes, kernel requests preceded by a 2-byte length.
enum class LinkKind { Serial, Usb };

// Firmware: the radio's own application runs; it answers the RAM dump.
enum class PowerOnState { BootLoader, Kernel, Firmware };

// One RAM region that the application firmware announces to the RAM dump.
struct RamRegionSpec {
  std::uint32_t start = 0;
  std::uint32_t size = 0;
};

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

  // The flash: where it starts, its sector table and the sectors that
  // refuse erasing and programming. It powers on erased.
  std::uint32_t flashBase = 0;
  std::vector<SectorGroup> sectorLayout{{0x10000, 64}};
  std::vector<std::uint32_t> protectedSectors{};
  // The RAM regions the application firmware announces.
  std::vector<RamRegionSpec> ramRegions{{0x00100000, 0x8000}, {0x00200000, 0x1000}};
  // The smart-flash buffer and how fast the kernel writes from it, in
  // bytes per second (0: as soon as a request is queued).
  std::uint32_t smartBufferSize = 0x40000;
  std::uint32_t smartWriteRate = 0;
  // When set, the pseudo-terminal front end lets every byte take its time
  // on the line at the host's bit rate (10 bits a byte), both ways.
  bool lineTiming = false;
  // Replies the kernel gives to chosen requests (a custom menu item's
  // bytes), matched on the whole request; see TextReply.
  std::map<std::vector<std::uint8_t>, std::vector<std::uint8_t>> customReplies{};
};

// The kernel's text reply: 03 84 00 03, the text and a zero byte.
std::vector<std::uint8_t> TextReply(const std::string& text);
// The flash size of a sector layout.
std::uint64_t LayoutSize(const std::vector<SectorGroup>& layout);
// What is wrong with the configuration, or empty when it is sound.
std::string CheckConfig(const RadioConfig& config);

constexpr std::uint32_t kBootLoaderRate = 19200;
constexpr std::uint32_t kKernelStartRate = 115200;
constexpr std::uint32_t kFirmwareRate = 115200;

// Parses the names used on the command line ("harrow", "calder", "bisel";
// "serial", "usb"; "boot", "kernel", "firmware").
std::optional<BootLoaderType> ParseBootLoaderType(const std::string& text);
std::optional<PowerOnState> ParsePowerOnState(const std::string& text);
// "0x100000:0x8000,0x200000:4K": RAM regions as start:size.
std::optional<std::vector<RamRegionSpec>> ParseRamRegions(const std::string& text);
// "0,5,7": sector numbers.
std::optional<std::vector<std::uint32_t>> ParseSectorList(const std::string& text);
// "0A01" or "0A 01": hex bytes.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(const std::string& text);
const char* BootLoaderTypeName(BootLoaderType type);

}  // namespace radiosim
