#pragma once
// The boot loader link: the channel to the radio's boot loader in ROM
// before the flashing kernel runs. It pings the boot loader to learn its
// kind and downloads one kernel image into the radio's RAM in a single
// unacknowledged transfer, reporting progress through a callback. Over
// RS232 it is a channel of kind 2, over USB of kind 4: bytes go unframed.
//
// Download message (big-endian):
//   55 55 55 AA, load address (4), [length bits 31..16 (2), format 3 only],
//   length bits 15..0 (2; for format 1 over USB the length + 1),
//   speed code (2), the image, checksum
// The checksum is 0xFF minus the 8-bit sum of every byte after the preamble.

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/link/comm_channel.h"

struct BootProgress {
  std::uint32_t state = 0;  // 0 in progress, 1 finished
  std::uint32_t sent = 0;
  std::uint32_t total = 0;
};

using BootProgressCallback = void (*)(void* context, const BootProgress* progress);

class CBootLink : public CCommChannel {
 public:
  static constexpr std::uint8_t kPingAnswerZ = 0x5A;  // 'Z'
  static constexpr std::uint8_t kPingAnswerL = 0x6C;  // 'l'
  static constexpr int kPingAttempts = 10;
  static constexpr unsigned kPingAnswerPolls = 20;
  static constexpr unsigned kRetryPauseMs = 10;
  static constexpr unsigned kSpeedChangePauseMs = 500;
  static constexpr unsigned kSerialKernelStartMs = 1000;
  static constexpr unsigned kUsbKernelStartPolls = 1000;

  // The channel kind comes from the link mode (0 RS232, 1 USB); the
  // transport is opened at once.
  CBootLink(int linkMode, const std::string& portPath, std::uint32_t baudRate, std::uint16_t usbDevice,
            const std::string& usbInterface, void* context, BootProgressCallback callback);

  // The boot loader's answer ('Z' or 'l'); after ten failed attempts throws
  // 17, and the whole ping runs again 10 ms later while retries remain.
  std::uint8_t Ping(unsigned retries);

  // Whether the image length fits the length field of the download format
  // on this link.
  static bool DownloadLengthFits(int format, std::size_t length, ChannelKind kind);

  // The whole transfer, run again 10 ms later on any failure while retries
  // remain.
  void Download(std::size_t chunkSize, const std::uint8_t* image, std::size_t length, std::uint32_t loadAddress,
                std::uint16_t speedCode, std::uint32_t newBaudRate, unsigned retries, int format);

  // Gives the kernel time to start: 1000 ms over RS232; over USB one byte
  // within 1000 ms, whose absence is not an error.
  void WaitAfterDownload();

  void ReportProgress(const BootProgress& progress);

 private:
  std::uint8_t PingOnce();
  void TransferOnce(std::size_t chunkSize, const std::uint8_t* image, std::size_t length, std::uint32_t loadAddress,
                    std::uint16_t speedCode, std::uint32_t newBaudRate, int format);

  void* context_;
  BootProgressCallback callback_;
};
