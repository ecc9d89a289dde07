#pragma once
// The requests that the detection program and the flash drivers serve: one
// function per request, each sending one host frame and taking one reply.
// A request succeeds only when both frames do, the reply's flag bit is as
// expected, its code is the request code plus one and its length is the one
// the request expects. All fields are big-endian.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "block_coders.h"
#include "frame_link.h"

namespace ambrel {

struct TargetStatus {
  std::uint8_t freeBuffers = 0;
  std::uint16_t blocksProgrammed = 0;
  std::uint8_t errorFlag = 0;
  std::int8_t freeSlots = 0;
};

struct FlashIdPair {
  std::uint16_t manufacturerId;
  std::uint16_t deviceId;
};

struct LastActivity {
  std::uint8_t kind = 0;
  std::uint32_t address = 0;
  std::uint32_t expected = 0;
  std::uint32_t actual = 0;
};

struct TargetTiming {
  std::uint32_t firstTicks = 0;
  std::uint32_t secondTicks = 0;
};

class TargetRequests {
 public:
  explicit TargetRequests(FrameLink& link) : link_(link) {}

  // The port name and rate that SetBaud reopens the port with.
  void SetPort(const std::string& name, std::uint32_t divisor) {
    portName_ = name;
    divisor_ = divisor == 0 ? 1 : divisor;
  }
  const TargetStatus& LastStatus() const { return last_; }
  // The free command slots of the last status, less those taken since.
  int KnownFreeSlots() const { return last_.freeSlots - slotsTakenSince_; }

  bool SetBaud(std::uint32_t rate);
  bool GetBusWidth(std::uint8_t& width);
  bool SetLocation(std::uint8_t chipSelect, std::uint32_t base);
  // False for a reply without any pair; at most two pairs are kept.
  bool GetFlashIds(std::vector<FlashIdPair>& pairs);
  bool SetTargetParams(std::uint32_t base, std::uint8_t busWidth);
  bool GetStatus(TargetStatus& status);
  bool NoMoreBlocks(TargetStatus& status);
  bool GetTiming(TargetTiming& timing);
  bool SendHuffmanTree(const HuffmanCoder& coder);
  bool EraseSector(std::uint32_t offset, std::uint32_t size);
  bool EraseChip(std::uint32_t size);
  bool ReadToBuffer(std::uint32_t offset, std::uint32_t size, std::uint8_t& buffer, TargetStatus& status);
  bool WriteGroup(std::uint8_t firstBuffer, std::uint8_t count, TargetStatus& status);
  bool UpdateBuffer(std::uint8_t buffer, std::uint16_t offset, const std::uint8_t* data, std::size_t length,
                    TargetStatus& status);
  // `available` bytes are readable from `data` for the coders' look-ahead.
  bool DownloadToBuffer(std::uint32_t offset, const std::uint8_t* data, std::size_t length, std::size_t available,
                        BlockCoders& coders, std::uint8_t& buffer, TargetStatus& status);
  bool DownloadAndWrite(std::uint32_t offset, const std::uint8_t* data, std::size_t length, std::size_t available,
                        BlockCoders& coders, TargetStatus& status);
  bool UploadBlock(std::uint32_t offset, std::uint32_t size, std::uint8_t* data);
  bool GetCrc16(std::uint32_t offset, std::uint32_t size, std::uint16_t seed, std::uint16_t& crc);
  bool RamChecksum(std::uint32_t address, std::uint32_t size, std::uint8_t& sum);
  bool QueryChipErase(bool& supported);
  bool EndSession();
  bool RequestBuffers(std::uint8_t count, TargetStatus& status);
  bool RequestSlots(std::uint8_t count, TargetStatus& status);
  bool GetOperationState(std::uint8_t& code, std::uint32_t& address);
  bool LockSector(std::uint32_t offset);
  bool UnlockSector(std::uint32_t offset);
  bool GetLastActivity(LastActivity& activity);
  bool EndOperation();

  bool DownloadDetectProgram(const std::uint8_t* program, std::size_t length);
  bool DownloadFlashDriver(const std::uint8_t* driver, std::size_t length);
  bool SwitchHarrowBaud(std::uint32_t rate, bool test);

 private:
  // Sends the payload and takes the reply; `expected` 0 takes any length.
  bool Exchange(const std::vector<std::uint8_t>& request, std::size_t expected, bool flag = false);
  bool StatusExchange(const std::vector<std::uint8_t>& request, TargetStatus& status);
  bool SlotExchange(const std::vector<std::uint8_t>& request);
  bool BufferExchange(const std::vector<std::uint8_t>& request, std::uint8_t& buffer, TargetStatus& status);
  // The request payload for one block in the form the compression mode picks.
  std::vector<std::uint8_t> BlockRequest(std::uint8_t rawCode, std::uint8_t huffmanCode, std::uint8_t lzssCode,
                                         std::uint32_t offset, const std::uint8_t* data, std::size_t length,
                                         std::size_t available, BlockCoders& coders);
  bool WriteRaw(const std::vector<std::uint8_t>& bytes);
  bool ReadRawExpect(const std::vector<std::uint8_t>& bytes);

  FrameLink& link_;
  std::string portName_;
  std::uint32_t divisor_ = 1;
  std::vector<std::uint8_t> reply_;
  TargetStatus last_;
  // Command slots taken by requests whose replies carry no status (the
  // erases) since last_ came; the free slots the host can count on are
  // last_'s less these.
  int slotsTakenSince_ = 0;
};

}  // namespace ambrel
