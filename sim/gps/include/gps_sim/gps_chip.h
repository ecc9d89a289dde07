#pragma once
// The GPS chip as the flash library meets it on the radio's serial port.
//
// Power-up: the ROM loader at 38400 bit/s takes one frame with the detection
// program ('F' 'S' 0, length, program, four 0 bytes) and answers 'G'. The
// detection program serves the rate switch, bus width, flash location, flash
// ids, RAM checksum and the driver download; the started driver serves every
// flash request. End of session puts the chip back into its ROM loader at
// 38400 bit/s. Bytes that come at another bit rate than the chip's are lost,
// as on a real line.
//
// Frames: two length bytes (bit 7 of the first is the flag bit, the rest a
// 15-bit payload length), the payload, a checksum that makes the byte sum 0.
// A good host frame is answered 0x06, a bad one 0x15 (and dropped); the chip's
// reply frame is sent again when the host answers it with 0x15, and a lone
// 0x15 from the host asks for the last reply again.
//
// The driver works through target buffers and command slots: erases and block
// writes are queued and take time (the durations below); a status tells the
// free buffers, the blocks programmed since the operation began, the error
// flag and the free command slots. A command that comes while every slot is
// taken waits until the head of the queue has finished (the host learns the
// free slots only from statuses, and an erase reply carries none). A request
// that the chip cannot serve in its state is answered with the single byte
// 0xFF.
//
// The baseband chip in front of it takes the unframed rate-switch messages
// (0xF2 0x55 ...) and answers them.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gps_sim/block_decoders.h"
#include "gps_sim/byte_link.h"
#include "gps_sim/nor_flash.h"

namespace gps_sim {

struct ChipFaults {
  bool noChip = false;            // the flash ids read 0xFFFF 0xFFFF
  bool ramAtLocation = false;     // the flash ids read 0 0
  std::optional<std::pair<std::uint16_t, std::uint16_t>> ids;  // other ids (manufacturer, device)
  unsigned idPairs = 1;           // pairs in the flash-id reply
  std::uint8_t busWidth = 16;
  bool wrongRamChecksum = false;  // the RAM checksum of the detection program is off by one
  bool rejectDetectProgram = false;
  std::optional<std::uint32_t> corruptAfterWrite;  // this flash byte goes bad after its block is written
  std::optional<std::uint32_t> writeErrorAt;       // writing the block that holds it sets the error flag
  unsigned badReplyChecksums = 0;  // the next replies go out with a bad checksum (once each)
  unsigned nakRequests = 0;        // the next good requests are answered NAK (but served; the
                                   // reply waits for the host's 0x15)
  bool stall = false;              // queued commands never complete
  unsigned oversizedReplies = 0;   // the next replies announce more payload than a host can take
                                   // (sent once each, padded to the length announced)
};

struct ChipTimings {
  std::chrono::microseconds blockWrite{300};
  std::chrono::microseconds sectorErase{2000};
  std::chrono::microseconds chipErase{10000};
};

struct ChipOptions {
  std::string part = "AM29LV200B";
  std::uint32_t flashBase = 0x40000000;  // where the part answers
  unsigned targetBuffers = 8;
  unsigned commandSlots = 16;
  // A command that finds every command slot taken waits for the queue
  // (true), or is refused with the error flag set, as a driver that counts
  // on the host to ask for slots first does (false).
  bool waitsForSlots = true;
  std::optional<bool> chipEraseSupported;  // default: the JEDEC parts only
  std::uint32_t rateDivisor = 1;           // host rate = chip rate / divisor
  ChipTimings timings;
};

enum class ChipState { RomLoader, DetectProgram, Driver };

class GpsChip {
 public:
  explicit GpsChip(ChipOptions options = {});

  // Serves the link until it is finished or Stop() is called.
  void Serve(ByteLink& link);
  void Stop();

  // Everything below may be called from any thread.
  void SetFaults(const ChipFaults& faults);
  std::vector<std::uint8_t> Flash() const;
  void FillFlash(const std::vector<std::uint8_t>& contents);
  bool SectorLocked(std::size_t sector) const;
  ChipState State() const;
  std::uint32_t ChipRate() const;
  std::uint32_t BasebandRateCode() const;
  std::size_t DriverLength() const;
  // One line per event: requests by name, downloads, faults, protocol errors.
  std::vector<std::string> Transcript() const;
  bool TranscriptHas(const std::string& text) const;
  // The LZSS and Huffman blocks that the chip decoded.
  std::size_t CompressedBlocks() const;
  // A host frame whose payload this is, as the host would send it (tests).
  static std::vector<std::uint8_t> Frame(const std::vector<std::uint8_t>& payload, bool flag = false);

 private:
  struct Command {
    enum Kind { EraseSector, EraseChip, WriteBuffer } kind;
    std::uint32_t offset;
    std::uint32_t size;
    unsigned buffer;
  };
  enum class BufferUse { Free, Kept, Queued };
  struct Activity {
    std::uint8_t kind = 0;
    std::uint32_t address = 0;
    std::uint32_t expected = 0;
    std::uint32_t actual = 0;
  };
  struct Reply {
    std::vector<std::uint8_t> payload;
    bool flag = false;
  };
  class FrameReader;

  // Link side (no lock held while waiting).
  void ServeOne(ByteLink& link, FrameReader& reader);
  void HandleBaseband(ByteLink& link, FrameReader& reader);
  void SendReply(ByteLink& link, FrameReader& reader, const Reply& reply);

  // Chip side (lock held).
  std::optional<Reply> Handle(const std::vector<std::uint8_t>& payload, bool flag);
  Reply HandleRomLoader(const std::vector<std::uint8_t>& payload);
  std::optional<Reply> HandleDetect(const std::vector<std::uint8_t>& payload, bool flag);
  Reply HandleDriver(const std::vector<std::uint8_t>& payload);
  Reply StatusReply(std::uint8_t code);
  Reply BufferReply(std::uint8_t code, unsigned buffer);
  Reply Refuse(const char* why);
  Reply DownloadBlock(const std::vector<std::uint8_t>& payload, bool write);
  Reply ReadToBuffer(const std::vector<std::uint8_t>& payload);
  Reply UpdateBuffer(const std::vector<std::uint8_t>& payload);
  Reply WriteGroup(const std::vector<std::uint8_t>& payload);
  Reply Erase(const std::vector<std::uint8_t>& payload, bool chip);
  std::optional<std::vector<std::uint8_t>> DecodeBlock(std::uint8_t form, const std::vector<std::uint8_t>& payload,
                                                       std::uint32_t offset);
  std::optional<unsigned> AllocateBuffer();
  bool TakeSlot();
  bool MakeRoom(unsigned slots);
  bool SendOversized(ByteLink& link, FrameReader& reader, const Reply& reply);
  void Enqueue(const Command& command);
  void Advance(bool force, unsigned wantBuffers, unsigned wantSlots);
  void Execute(const Command& command);
  std::chrono::microseconds Duration(const Command& command) const;
  unsigned FreeBuffers() const;
  unsigned FreeSlots() const;
  void EndOperation();
  void Reset();
  void Log(const std::string& line);
  bool InFlash(std::uint32_t offset, std::uint32_t size) const;
  std::uint8_t OperationCode() const;

  ChipOptions options_;
  mutable std::mutex mutex_;
  bool stopped_ = false;
  ChipFaults faults_;
  NorFlash flash_;
  ChipState state_ = ChipState::RomLoader;
  std::uint32_t rate_ = 38400;
  std::uint32_t basebandRateCode_ = 0;
  std::vector<std::uint8_t> ram_;        // the detection program from address 0
  std::vector<std::uint8_t> driver_;
  std::uint32_t locationBase_ = 0;
  bool located_ = false;
  // Driver state.
  std::vector<std::vector<std::uint8_t>> buffers_;
  std::vector<BufferUse> bufferUse_;
  unsigned nextBuffer_ = 0;
  std::vector<Command> queue_;
  std::chrono::steady_clock::time_point headStarted_;
  std::uint16_t blocksProgrammed_ = 0;
  bool errorFlag_ = false;
  Activity lastActivity_;
  std::uint64_t eraseTicks_ = 0;
  std::uint64_t programTicks_ = 0;
  SimLzssDecoder lzss_;
  SimHuffmanDecoder huffman_;
  std::size_t compressedBlocks_ = 0;
  std::optional<Reply> lastReply_;
  std::optional<std::uint32_t> rateAfterReply_;
  bool resetAfterReply_ = false;
  std::vector<std::uint32_t> bufferOffset_;
  std::vector<std::string> transcript_;
};

}  // namespace gps_sim
