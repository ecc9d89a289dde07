#include "target_requests.h"

#include <algorithm>

#include "platform/tick.h"

namespace ambrel {
namespace {

constexpr std::size_t kStatusReply = 6;
constexpr std::size_t kBufferReply = 7;
constexpr std::size_t kDriverChunk = 1024;
constexpr std::uint32_t kSettleMs = 100;

void PutU32(std::vector<std::uint8_t>& p, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) p.push_back(static_cast<std::uint8_t>(v >> shift));
}
void PutU16(std::vector<std::uint8_t>& p, std::uint16_t v) {
  p.push_back(static_cast<std::uint8_t>(v >> 8));
  p.push_back(static_cast<std::uint8_t>(v));
}
std::uint32_t U32(const std::vector<std::uint8_t>& p, std::size_t at) {
  return (std::uint32_t{p[at]} << 24) | (std::uint32_t{p[at + 1]} << 16) | (std::uint32_t{p[at + 2]} << 8) | p[at + 3];
}
std::uint16_t U16(const std::vector<std::uint8_t>& p, std::size_t at) {
  return static_cast<std::uint16_t>((p[at] << 8) | p[at + 1]);
}
TargetStatus StatusAt(const std::vector<std::uint8_t>& reply) {
  return {reply[1], U16(reply, 2), reply[4], static_cast<std::int8_t>(reply[5])};
}

// Rate codes of the baseband chip.
bool HarrowRateCode(std::uint32_t rate, std::uint8_t& code) {
  switch (rate) {
    case 38400: code = 5; return true;
    case 57600: code = 3; return true;
    case 115200: code = 0; return true;
    case 230400: code = 1; return true;
    case 307200: code = 6; return true;
    default: return false;
  }
}

std::uint8_t OnesComplementOfSum(const std::vector<std::uint8_t>& bytes) {
  unsigned sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  return static_cast<std::uint8_t>(~sum & 0xFF);
}

}  // namespace

bool TargetRequests::Exchange(const std::vector<std::uint8_t>& request, std::size_t expected, bool flag) {
  bool replyFlag = false;
  if (!link_.SendFrame(request.data(), request.size(), flag)) return false;
  if (!link_.ReceiveFrame(reply_, replyFlag)) return false;
  if (replyFlag != flag || reply_.empty() || reply_[0] != static_cast<std::uint8_t>(request[0] + 1)) return false;
  return expected == 0 || reply_.size() == expected;
}

bool TargetRequests::StatusExchange(const std::vector<std::uint8_t>& request, TargetStatus& status) {
  if (!Exchange(request, kStatusReply)) return false;
  status = last_ = StatusAt(reply_);
  slotsTakenSince_ = 0;
  return true;
}

bool TargetRequests::BufferExchange(const std::vector<std::uint8_t>& request, std::uint8_t& buffer,
                                    TargetStatus& status) {
  if (!Exchange(request, kBufferReply)) return false;
  status = last_ = StatusAt(reply_);
  slotsTakenSince_ = 0;
  buffer = reply_[6];
  return true;
}

bool TargetRequests::SetBaud(std::uint32_t rate) {
  std::vector<std::uint8_t> request{0x00};
  PutU32(request, rate);
  if (!Exchange(request, 1)) return false;
  link_.CloseComPort();
  if (!link_.OpenComPort(portName_, rate / divisor_)) return false;
  platform::SleepMs(kSettleMs);
  return true;
}

bool TargetRequests::GetBusWidth(std::uint8_t& width) {
  if (!Exchange({0x02}, 2)) return false;
  width = reply_[1];
  return true;
}

bool TargetRequests::SetLocation(std::uint8_t chipSelect, std::uint32_t base) {
  std::vector<std::uint8_t> request{0x04, chipSelect};
  PutU32(request, base);
  return Exchange(request, 1);
}

bool TargetRequests::GetFlashIds(std::vector<FlashIdPair>& pairs) {
  if (!Exchange({0x06}, 0)) return false;
  if (reply_.size() < 2) return false;
  const std::size_t count = reply_[1];
  if (count == 0 || reply_.size() != 4 * count + 2) return false;
  pairs.clear();
  for (std::size_t i = 0; i < std::min<std::size_t>(count, 2); ++i) {
    pairs.push_back({U16(reply_, 2 + 4 * i), U16(reply_, 4 + 4 * i)});
  }
  return true;
}

bool TargetRequests::SetTargetParams(std::uint32_t base, std::uint8_t busWidth) {
  platform::SleepMs(kSettleMs);
  std::vector<std::uint8_t> request{0x0C};
  PutU32(request, base);
  request.push_back(busWidth);
  return Exchange(request, 1);
}

bool TargetRequests::GetStatus(TargetStatus& status) { return StatusExchange({0x0E}, status); }
bool TargetRequests::NoMoreBlocks(TargetStatus& status) { return StatusExchange({0x10}, status); }

bool TargetRequests::GetTiming(TargetTiming& timing) {
  if (!Exchange({0x12}, 9)) return false;
  timing = {U32(reply_, 1), U32(reply_, 5)};
  return true;
}

bool TargetRequests::SendHuffmanTree(const HuffmanCoder& coder) {
  std::vector<std::uint8_t> request{0x14};
  const auto message = coder.TreeMessage();
  request.insert(request.end(), message.begin(), message.end());
  return Exchange(request, 1);
}

bool TargetRequests::EraseSector(std::uint32_t offset, std::uint32_t size) {
  std::vector<std::uint8_t> request{0x16};
  PutU32(request, offset);
  PutU32(request, size);
  return SlotExchange(request);
}

bool TargetRequests::EraseChip(std::uint32_t size) {
  std::vector<std::uint8_t> request{0x18};
  PutU32(request, size);
  return SlotExchange(request);
}

// A request that queues a command on the target and answers without a
// status: the slot it takes is counted until the next status.
bool TargetRequests::SlotExchange(const std::vector<std::uint8_t>& request) {
  if (!Exchange(request, 1)) return false;
  ++slotsTakenSince_;
  return true;
}

bool TargetRequests::ReadToBuffer(std::uint32_t offset, std::uint32_t size, std::uint8_t& buffer,
                                  TargetStatus& status) {
  std::vector<std::uint8_t> request{0x1A};
  PutU32(request, offset);
  PutU32(request, size);
  return BufferExchange(request, buffer, status);
}

bool TargetRequests::WriteGroup(std::uint8_t firstBuffer, std::uint8_t count, TargetStatus& status) {
  if (KnownFreeSlots() < static_cast<int>(count) && !RequestSlots(count, status)) return false;
  return StatusExchange({0x1C, firstBuffer, count}, status);
}

bool TargetRequests::UpdateBuffer(std::uint8_t buffer, std::uint16_t offset, const std::uint8_t* data,
                                  std::size_t length, TargetStatus& status) {
  std::vector<std::uint8_t> request{0x1E, buffer};
  PutU16(request, offset);
  request.insert(request.end(), data, data + length);
  return StatusExchange(request, status);
}

std::vector<std::uint8_t> TargetRequests::BlockRequest(std::uint8_t rawCode, std::uint8_t huffmanCode,
                                                       std::uint8_t lzssCode, std::uint32_t offset,
                                                       const std::uint8_t* data, std::size_t length,
                                                       std::size_t available, BlockCoders& coders) {
  BitWriter& bits = coders.bits;
  std::uint8_t code = rawCode;
  if (coders.mode == CompressionMode::Lzss) {
    coders.lzss.EncodeBlock(data, length, available, offset, bits);
    code = lzssCode;
  } else if (coders.mode == CompressionMode::Huffman) {
    const std::size_t limit = length * 8;
    const std::size_t count = coders.huffman.EncodeBlock(data, length, bits, limit);
    if ((count + 15) / 8 < length) code = huffmanCode;
  }
  std::vector<std::uint8_t> request{code};
  PutU32(request, offset);
  if (code == rawCode) {
    request.insert(request.end(), data, data + length);
  } else {
    request.push_back(static_cast<std::uint8_t>(bits.PadBits()));
    request.insert(request.end(), bits.Bytes().begin(), bits.Bytes().end());
  }
  return request;
}

bool TargetRequests::DownloadToBuffer(std::uint32_t offset, const std::uint8_t* data, std::size_t length,
                                      std::size_t available, BlockCoders& coders, std::uint8_t& buffer,
                                      TargetStatus& status) {
  return BufferExchange(BlockRequest(0x20, 0x22, 0x30, offset, data, length, available, coders), buffer, status);
}

bool TargetRequests::DownloadAndWrite(std::uint32_t offset, const std::uint8_t* data, std::size_t length,
                                      std::size_t available, BlockCoders& coders, TargetStatus& status) {
  if (KnownFreeSlots() <= 0 && !RequestSlots(1, status)) return false;
  return StatusExchange(BlockRequest(0x24, 0x26, 0x32, offset, data, length, available, coders), status);
}

bool TargetRequests::UploadBlock(std::uint32_t offset, std::uint32_t size, std::uint8_t* data) {
  std::vector<std::uint8_t> request{0x28};
  PutU32(request, offset);
  PutU32(request, size);
  if (size > kMaxReceivePayload - 4 || !Exchange(request, std::size_t{size} + 4)) return false;
  std::copy(reply_.begin() + 4, reply_.end(), data);
  return true;
}

bool TargetRequests::GetCrc16(std::uint32_t offset, std::uint32_t size, std::uint16_t seed, std::uint16_t& crc) {
  std::vector<std::uint8_t> request{0x2A};
  PutU32(request, offset);
  PutU32(request, size);
  PutU16(request, seed);
  if (!Exchange(request, 3)) return false;
  crc = U16(reply_, 1);
  return true;
}

bool TargetRequests::RamChecksum(std::uint32_t address, std::uint32_t size, std::uint8_t& sum) {
  std::vector<std::uint8_t> request{0x2C};
  PutU32(request, address);
  PutU32(request, size);
  if (!Exchange(request, 2)) return false;
  sum = reply_[1];
  return true;
}

bool TargetRequests::QueryChipErase(bool& supported) {
  if (!Exchange({0x2E}, 2)) return false;
  supported = reply_[1] != 0;
  return true;
}

bool TargetRequests::EndSession() {
  const bool ok = Exchange({0x38}, 6);
  platform::SleepMs(kSettleMs);
  return ok;
}

bool TargetRequests::RequestBuffers(std::uint8_t count, TargetStatus& status) {
  return StatusExchange({0x3A, count}, status);
}

bool TargetRequests::RequestSlots(std::uint8_t count, TargetStatus& status) {
  return StatusExchange({0x3C, count}, status);
}

bool TargetRequests::GetOperationState(std::uint8_t& code, std::uint32_t& address) {
  if (!Exchange({0x3E}, 6)) return false;
  code = reply_[1];
  address = U32(reply_, 2);
  return true;
}

bool TargetRequests::LockSector(std::uint32_t offset) {
  std::vector<std::uint8_t> request{0x40};
  PutU32(request, offset);
  return Exchange(request, 1);
}

bool TargetRequests::UnlockSector(std::uint32_t offset) {
  std::vector<std::uint8_t> request{0x42};
  PutU32(request, offset);
  return Exchange(request, 1);
}

bool TargetRequests::GetLastActivity(LastActivity& activity) {
  if (!Exchange({0x44}, 14)) return false;
  activity = {reply_[1], U32(reply_, 2), U32(reply_, 6), U32(reply_, 10)};
  return true;
}

bool TargetRequests::EndOperation() { return Exchange({0x48}, 1); }

bool TargetRequests::DownloadDetectProgram(const std::uint8_t* program, std::size_t length) {
  std::vector<std::uint8_t> request{'F', 'S', 0};
  PutU32(request, static_cast<std::uint32_t>(length));
  request.insert(request.end(), program, program + length);
  PutU32(request, 0);
  bool replyFlag = false;
  if (!link_.SendFrame(request.data(), request.size(), false)) return false;
  if (!link_.ReceiveFrame(reply_, replyFlag)) return false;
  return !replyFlag && reply_.size() == 1 && reply_[0] == 'G';
}

bool TargetRequests::DownloadFlashDriver(const std::uint8_t* driver, std::size_t length) {
  for (std::size_t offset = 0; offset < length; offset += kDriverChunk) {
    const std::size_t chunk = std::min(kDriverChunk, length - offset);
    std::vector<std::uint8_t> request{0x08};
    PutU32(request, static_cast<std::uint32_t>(offset));
    request.insert(request.end(), driver + offset, driver + offset + chunk);
    if (!Exchange(request, 0)) return false;
  }
  return Exchange({0x0A, 0, 0, 0, 0}, 0);
}

bool TargetRequests::WriteRaw(const std::vector<std::uint8_t>& bytes) {
  std::size_t written = 0;
  return link_.WriteComPort(bytes.data(), bytes.size(), written) && written == bytes.size();
}

bool TargetRequests::ReadRawExpect(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> got(bytes.size());
  std::size_t read = 0;
  return link_.ReadComPort(got.data(), got.size(), read) && read == got.size() && got == bytes;
}

bool TargetRequests::SwitchHarrowBaud(std::uint32_t rate, bool test) {
  std::uint8_t code = 0;
  if (!HarrowRateCode(rate, code)) return false;
  if (test) {
    std::vector<std::uint8_t> request{0x00};
    PutU32(request, rate);
    if (!Exchange(request, 1, true)) return false;
    platform::SleepMs(kSettleMs);
    return true;
  }
  std::vector<std::uint8_t> first{0xF2, 0x55, code};
  first.push_back(OnesComplementOfSum(first));
  if (!WriteRaw(first) || !ReadRawExpect({0x50}) || !ReadRawExpect({0xF1, 0xA5, 0x69})) return false;
  std::vector<std::uint8_t> second{0xF4, 0x26, 0x01, 0x00, code};
  second.push_back(OnesComplementOfSum(second));
  if (!WriteRaw(second)) return false;
  platform::SleepMs(400);
  platform::SleepMs(100);
  return true;
}

}  // namespace ambrel
