#include "gps_sim/gps_chip.h"

#include <algorithm>
#include <cstdio>
#include <deque>

namespace gps_sim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;
constexpr std::size_t kMaxHostPayload = 4093;
// Beyond the 1277 payload bytes that a host's receive buffer takes.
constexpr std::size_t kOversizedPayload = 1400;
constexpr std::uint32_t kBlock = 1024;
constexpr std::uint32_t kRomRate = 38400;
constexpr unsigned kMaxReplySends = 9;
constexpr milliseconds kFrameGap{3000};
constexpr milliseconds kIdlePoll{20};
constexpr milliseconds kLoneByteGap{50};

std::uint32_t U32(const std::vector<std::uint8_t>& p, std::size_t at) {
  return (std::uint32_t{p[at]} << 24) | (std::uint32_t{p[at + 1]} << 16) | (std::uint32_t{p[at + 2]} << 8) | p[at + 3];
}
std::uint16_t U16(const std::vector<std::uint8_t>& p, std::size_t at) {
  return static_cast<std::uint16_t>((p[at] << 8) | p[at + 1]);
}
void PutU32(std::vector<std::uint8_t>& p, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) p.push_back(static_cast<std::uint8_t>(v >> shift));
}
void PutU16(std::vector<std::uint8_t>& p, std::uint16_t v) {
  p.push_back(static_cast<std::uint8_t>(v >> 8));
  p.push_back(static_cast<std::uint8_t>(v));
}
std::uint8_t SumComplement(const std::uint8_t* data, std::size_t length) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < length; ++i) sum += data[i];
  return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}
std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

const char* RequestName(std::uint8_t code) {
  switch (code) {
    case 0x00: return "SetBaud";
    case 0x02: return "GetBusWidth";
    case 0x04: return "SetLocation";
    case 0x06: return "GetFlashIds";
    case 0x08: return "DriverChunk";
    case 0x0A: return "StartDriver";
    case 0x0C: return "SetTargetParams";
    case 0x0E: return "GetStatus";
    case 0x10: return "NoMoreBlocks";
    case 0x12: return "GetTiming";
    case 0x14: return "SendHuffmanTree";
    case 0x16: return "EraseSector";
    case 0x18: return "EraseChip";
    case 0x1A: return "ReadToBuffer";
    case 0x1C: return "WriteGroup";
    case 0x1E: return "UpdateBuffer";
    case 0x20: return "DownloadToBuffer raw";
    case 0x22: return "DownloadToBuffer Huffman";
    case 0x30: return "DownloadToBuffer LZSS";
    case 0x24: return "DownloadAndWrite raw";
    case 0x26: return "DownloadAndWrite Huffman";
    case 0x32: return "DownloadAndWrite LZSS";
    case 0x28: return "UploadBlock";
    case 0x2A: return "GetCrc16";
    case 0x2C: return "RamChecksum";
    case 0x2E: return "QueryChipErase";
    case 0x38: return "EndSession";
    case 0x3A: return "RequestBuffers";
    case 0x3C: return "RequestSlots";
    case 0x3E: return "GetOperationState";
    case 0x40: return "LockSector";
    case 0x42: return "UnlockSector";
    case 0x44: return "GetLastActivity";
    case 0x48: return "EndOperation";
    default: return nullptr;
  }
}

// The smallest payload (code included) of each driver request.
std::size_t MinimumPayload(std::uint8_t code) {
  switch (code) {
    case 0x00: return 5;
    case 0x04: return 6;
    case 0x08: return 5;
    case 0x0C: return 6;
    case 0x14: return 1021;
    case 0x16: return 9;
    case 0x18: return 5;
    case 0x1A: return 9;
    case 0x1C: return 3;
    case 0x1E: return 4;
    case 0x20: case 0x24: return 5 + kBlock;
    case 0x22: case 0x26: case 0x30: case 0x32: return 7;
    case 0x28: return 9;
    case 0x2A: return 11;
    case 0x2C: return 9;
    case 0x3A: case 0x3C: return 2;
    case 0x40: case 0x42: return 5;
    default: return 1;
  }
}

std::uint64_t Ticks(std::chrono::microseconds duration) {
  return static_cast<std::uint64_t>(duration.count()) * 32768u / 1000000u;
}

}  // namespace

// Bytes from the link with one byte of push-back.
class GpsChip::FrameReader {
 public:
  explicit FrameReader(ByteLink& link) : link_(link) {}
  // A byte, nullopt after the time-out; `finished` when the link ended.
  std::optional<std::uint8_t> Get(milliseconds timeout, bool& finished) {
    if (!held_.empty()) {
      const std::uint8_t byte = held_.front();
      held_.pop_front();
      return byte;
    }
    std::uint8_t byte = 0;
    const long got = link_.Read(&byte, 1, timeout);
    if (got < 0) finished = true;
    if (got <= 0) return std::nullopt;
    return byte;
  }
  // Up to `count` bytes within the time-out of each gap.
  std::vector<std::uint8_t> Read(std::size_t count, milliseconds gap, bool& finished) {
    std::vector<std::uint8_t> out;
    while (out.size() < count && !held_.empty()) {
      out.push_back(held_.front());
      held_.pop_front();
    }
    std::vector<std::uint8_t> chunk(count);
    while (out.size() < count) {
      const long got = link_.Read(chunk.data(), count - out.size(), gap);
      if (got < 0) finished = true;
      if (got <= 0) break;
      out.insert(out.end(), chunk.begin(), chunk.begin() + got);
    }
    return out;
  }
  void PushBack(std::uint8_t byte) { held_.push_front(byte); }
  // Drops what comes until the line is quiet; the count dropped.
  std::size_t Drain(bool& finished) {
    std::size_t dropped = held_.size();
    held_.clear();
    std::uint8_t chunk[256];
    long got;
    while ((got = link_.Read(chunk, sizeof chunk, milliseconds(30))) > 0) dropped += static_cast<std::size_t>(got);
    if (got < 0) finished = true;
    return dropped;
  }

 private:
  ByteLink& link_;
  std::deque<std::uint8_t> held_;
};

GpsChip::GpsChip(ChipOptions options) : options_(std::move(options)), flash_(FlashPartNamed(options_.part)) {
  if (options_.targetBuffers > 255) options_.targetBuffers = 255;
  if (options_.commandSlots > 127) options_.commandSlots = 127;
}

std::vector<std::uint8_t> GpsChip::Frame(const std::vector<std::uint8_t>& payload, bool flag) {
  std::vector<std::uint8_t> frame;
  frame.push_back(static_cast<std::uint8_t>(((payload.size() >> 8) & 0x7F) | (flag ? 0x80 : 0)));
  frame.push_back(static_cast<std::uint8_t>(payload.size() & 0xFF));
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(SumComplement(frame.data(), frame.size()));
  return frame;
}

void GpsChip::Serve(ByteLink& link) {
  FrameReader reader(link);
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
    }
    bool finished = false;
    const std::optional<std::uint8_t> first = reader.Get(kIdlePoll, finished);
    if (finished) return;
    if (!first) continue;
    reader.PushBack(*first);
    ServeOne(link, reader);
  }
}

void GpsChip::Stop() {
  std::lock_guard lock(mutex_);
  stopped_ = true;
}

void GpsChip::ServeOne(ByteLink& link, FrameReader& reader) {
  bool finished = false;
  const std::uint8_t first = *reader.Get(kIdlePoll, finished);
  // 0x06 and 0x15 also begin frames of some lengths: a lone answer byte is
  // one that nothing follows at once.
  bool lone = false;
  if (first == kAck || first == kNak) {
    const std::optional<std::uint8_t> next = reader.Get(kLoneByteGap, finished);
    if (next) {
      reader.PushBack(*next);
    } else {
      lone = true;
    }
  }
  if (lone && first == kAck) return;
  if (lone && first == kNak) {
    std::optional<Reply> again;
    {
      std::lock_guard lock(mutex_);
      again = lastReply_;
      Log(again ? "host asked for the last reply again" : "stray NAK from the host");
    }
    if (again) SendReply(link, reader, *again);
    return;
  }
  if (first == 0xF2) {
    const std::optional<std::uint8_t> second = reader.Get(kFrameGap, finished);
    if (second == 0x55) {
      HandleBaseband(link, reader);
      return;
    }
    if (second) reader.PushBack(*second);
  }
  {
    std::lock_guard lock(mutex_);
    const std::uint32_t expected = rate_ / std::max<std::uint32_t>(1, options_.rateDivisor);
    const std::uint32_t host = link.HostBaudRate();
    if (host != expected) {
      reader.PushBack(first);
      const std::size_t lost = reader.Drain(finished);
      Log("lost " + std::to_string(lost) + " bytes sent at " + std::to_string(host) + " bit/s (chip at " +
          std::to_string(expected) + ")");
      return;
    }
  }
  const std::optional<std::uint8_t> second = reader.Get(kFrameGap, finished);
  if (!second) return;
  const std::size_t length = ((first & 0x7Fu) << 8) | *second;
  const bool flag = (first & 0x80) != 0;
  if (length == 0 || length > kMaxHostPayload) {
    const std::size_t lost = reader.Drain(finished);
    std::lock_guard lock(mutex_);
    Log("bad frame length " + std::to_string(length) + ", dropped " + std::to_string(lost) + " bytes");
    return;
  }
  const std::vector<std::uint8_t> rest = reader.Read(length + 1, kFrameGap, finished);
  std::vector<std::uint8_t> frame{first, *second};
  frame.insert(frame.end(), rest.begin(), rest.end());
  unsigned sum = 0;
  for (std::uint8_t b : frame) sum += b;
  if (rest.size() != length + 1 || (sum & 0xFF) != 0) {
    link.Write(&kNak, 1);
    std::lock_guard lock(mutex_);
    Log(rest.size() != length + 1 ? "short frame, answered NAK" : "bad frame checksum, answered NAK");
    return;
  }
  bool answerNak = false;
  std::optional<Reply> reply;
  {
    std::lock_guard lock(mutex_);
    if (faults_.nakRequests > 0) {
      --faults_.nakRequests;
      answerNak = true;
      Log("answered a good request NAK");
    }
  }
  link.Write(answerNak ? &kNak : &kAck, 1);
  {
    std::lock_guard lock(mutex_);
    reply = Handle(std::vector<std::uint8_t>(rest.begin(), rest.end() - 1), flag);
    if (answerNak) lastReply_ = reply;
  }
  if (reply && !answerNak) SendReply(link, reader, *reply);
}

void GpsChip::SendReply(ByteLink& link, FrameReader& reader, const Reply& reply) {
  const std::vector<std::uint8_t> good = Frame(reply.payload, reply.flag);
  bool finished = false;
  if (SendOversized(link, reader, reply)) return;
  for (unsigned sent = 0; sent < kMaxReplySends; ++sent) {
    std::vector<std::uint8_t> frame = good;
    {
      std::lock_guard lock(mutex_);
      lastReply_ = reply;
      if (faults_.badReplyChecksums > 0) {
        --faults_.badReplyChecksums;
        frame.back() = static_cast<std::uint8_t>(frame.back() + 1);
        Log("sent a reply with a bad checksum");
      }
    }
    link.Write(frame.data(), frame.size());
    const std::optional<std::uint8_t> answer = reader.Get(kFrameGap, finished);
    if (answer == kNak) {
      std::lock_guard lock(mutex_);
      Log("host answered NAK, reply sent again");
      continue;
    }
    if (answer && *answer != kAck) reader.PushBack(*answer);
    break;
  }
  std::lock_guard lock(mutex_);
  if (rateAfterReply_) {
    rate_ = *rateAfterReply_;
    rateAfterReply_.reset();
  }
  if (resetAfterReply_) {
    resetAfterReply_ = false;
    Reset();
  }
}

// A reply that announces more payload than any host buffer holds, padded
// to the length it announces and sent once; the host's answer ends it.
bool GpsChip::SendOversized(ByteLink& link, FrameReader& reader, const Reply& reply) {
  {
    std::lock_guard lock(mutex_);
    if (faults_.oversizedReplies == 0) return false;
    --faults_.oversizedReplies;
    Log("sent an oversized reply");
  }
  std::vector<std::uint8_t> payload = reply.payload;
  payload.resize(kOversizedPayload, 0x00);
  const std::vector<std::uint8_t> frame = Frame(payload, reply.flag);
  link.Write(frame.data(), frame.size());
  bool finished = false;
  reader.Get(kFrameGap, finished);
  return true;
}

void GpsChip::HandleBaseband(ByteLink& link, FrameReader& reader) {
  bool finished = false;
  const std::vector<std::uint8_t> tail = reader.Read(2, kFrameGap, finished);
  const auto complement = [](std::initializer_list<unsigned> bytes) {
    unsigned sum = 0;
    for (unsigned b : bytes) sum += b;
    return static_cast<std::uint8_t>(~sum & 0xFF);
  };
  if (tail.size() != 2 || tail[1] != complement({0xF2, 0x55, tail[0]})) {
    std::lock_guard lock(mutex_);
    Log("baseband: bad rate message");
    return;
  }
  const std::uint8_t answer[4] = {0x50, 0xF1, 0xA5, 0x69};
  link.Write(answer, 1);
  link.Write(answer + 1, 3);
  const std::vector<std::uint8_t> confirm = reader.Read(6, kFrameGap, finished);
  std::lock_guard lock(mutex_);
  if (confirm.size() != 6 || confirm[0] != 0xF4 || confirm[1] != 0x26 || confirm[2] != 0x01 || confirm[3] != 0x00 ||
      confirm[4] != tail[0] || confirm[5] != complement({0xF4, 0x26, 0x01, 0x00, tail[0]})) {
    Log("baseband: bad rate confirmation");
    return;
  }
  basebandRateCode_ = tail[0];
  Log("baseband rate code " + std::to_string(tail[0]));
}

std::optional<GpsChip::Reply> GpsChip::Handle(const std::vector<std::uint8_t>& payload, bool flag) {
  switch (state_) {
    case ChipState::RomLoader: return HandleRomLoader(payload);
    case ChipState::DetectProgram: return HandleDetect(payload, flag);
    case ChipState::Driver: break;
  }
  if (payload[0] == 0x00 || payload[0] == 0x02 || payload[0] == 0x04 || payload[0] == 0x06 || payload[0] == 0x08 ||
      payload[0] == 0x0A || payload[0] == 0x38) {
    return HandleDetect(payload, flag);
  }
  return HandleDriver(payload);
}

GpsChip::Reply GpsChip::HandleRomLoader(const std::vector<std::uint8_t>& payload) {
  if (payload.size() < 11 || payload[0] != 'F' || payload[1] != 'S' || payload[2] != 0) {
    return Refuse("ROM loader: not a program download");
  }
  const std::uint32_t length = U32(payload, 3);
  if (payload.size() != std::size_t{length} + 11) return Refuse("ROM loader: program length does not match");
  if (faults_.rejectDetectProgram) return Refuse("ROM loader: detection program rejected (fault)");
  ram_.assign(payload.begin() + 7, payload.begin() + 7 + length);
  state_ = ChipState::DetectProgram;
  flash_.LockAll(flash_.Geometry().lockedAtPowerUp);
  Log("detection program loaded, " + std::to_string(length) + " bytes");
  return {{'G'}, false};
}

std::optional<GpsChip::Reply> GpsChip::HandleDetect(const std::vector<std::uint8_t>& payload, bool flag) {
  const std::uint8_t code = payload[0];
  if (code == 0x2C) return HandleDriver(payload);
  const char* name = RequestName(code);
  if (!name || payload.size() < MinimumPayload(code)) return Refuse("detection program: request not served");
  Log(name);
  const std::uint8_t reply = static_cast<std::uint8_t>(code + 1);
  switch (code) {
    case 0x00: {
      const std::uint32_t rate = U32(payload, 1);
      if (flag) {
        Log("baseband test rate " + std::to_string(rate));
        return Reply{{reply}, true};
      }
      if (rate != 38400 && rate != 57600 && rate != 115200 && rate != 230400 && rate != 307200) {
        return Refuse("rate not served");
      }
      rateAfterReply_ = rate;
      Log("rate " + std::to_string(rate));
      return Reply{{reply}, false};
    }
    case 0x02: return Reply{{reply, faults_.busWidth}, false};
    case 0x04:
      located_ = true;
      locationBase_ = U32(payload, 2);
      Log("location " + Hex(locationBase_));
      return Reply{{reply}, false};
    case 0x06: {
      std::uint16_t manufacturer = flash_.Geometry().manufacturerId;
      std::uint16_t device = flash_.Geometry().deviceId;
      if (!located_ || locationBase_ != options_.flashBase || faults_.noChip) {
        manufacturer = 0xFFFF;
        device = 0xFFFF;
      } else if (faults_.ramAtLocation) {
        manufacturer = 0;
        device = 0;
      } else if (faults_.ids) {
        manufacturer = faults_.ids->first;
        device = faults_.ids->second;
      }
      std::vector<std::uint8_t> out{reply, static_cast<std::uint8_t>(faults_.idPairs)};
      for (unsigned i = 0; i < faults_.idPairs; ++i) {
        PutU16(out, manufacturer);
        PutU16(out, device);
      }
      return Reply{out, false};
    }
    case 0x08: {
      const std::uint32_t offset = U32(payload, 1);
      const std::size_t bytes = payload.size() - 5;
      if (offset > 0x10000) return Refuse("driver chunk beyond the driver area");
      if (driver_.size() < offset + bytes) driver_.resize(offset + bytes);
      std::copy(payload.begin() + 5, payload.end(), driver_.begin() + offset);
      return Reply{{reply}, false};
    }
    case 0x0A:
      if (driver_.empty()) return Refuse("no driver to start");
      state_ = ChipState::Driver;
      buffers_.assign(options_.targetBuffers, std::vector<std::uint8_t>(kBlock, 0xFF));
      bufferUse_.assign(options_.targetBuffers, BufferUse::Free);
      bufferOffset_.assign(options_.targetBuffers, 0);
      nextBuffer_ = 0;
      queue_.clear();
      lastActivity_ = {};
      EndOperation();
      Log("driver started, " + std::to_string(driver_.size()) + " bytes");
      return Reply{{reply}, false};
    case 0x38: {
      resetAfterReply_ = true;
      Reply out{{reply}, false};
      const Reply status = StatusReply(reply);
      out.payload = status.payload;
      return out;
    }
    default: break;
  }
  return Refuse("detection program: request not served");
}

GpsChip::Reply GpsChip::HandleDriver(const std::vector<std::uint8_t>& payload) {
  const std::uint8_t code = payload[0];
  const char* name = RequestName(code);
  if (!name || payload.size() < MinimumPayload(code)) return Refuse("request not served");
  if (code != 0x0E && code != 0x3E) Log(name);  // status polls would swamp the transcript
  const std::uint8_t reply = static_cast<std::uint8_t>(code + 1);
  Advance(false, 0, 0);
  switch (code) {
    case 0x0C:
      Log("target params base " + Hex(U32(payload, 1)) + " width " + std::to_string(payload[5]));
      return Reply{{reply}, false};
    case 0x0E:
    case 0x10: return StatusReply(reply);
    case 0x12: {
      std::vector<std::uint8_t> out{reply};
      PutU32(out, static_cast<std::uint32_t>(eraseTicks_));
      PutU32(out, static_cast<std::uint32_t>(programTicks_));
      return Reply{out, false};
    }
    case 0x14:
      if (payload.size() != 1021 || !huffman_.SetTree(payload.data() + 1, 1020)) return Refuse("bad Huffman tree");
      return Reply{{reply}, false};
    case 0x16: return Erase(payload, false);
    case 0x18: return Erase(payload, true);
    case 0x1A: return ReadToBuffer(payload);
    case 0x1C: return WriteGroup(payload);
    case 0x1E: return UpdateBuffer(payload);
    case 0x20: case 0x22: case 0x30: return DownloadBlock(payload, false);
    case 0x24: case 0x26: case 0x32: return DownloadBlock(payload, true);
    case 0x28: {
      const std::uint32_t offset = U32(payload, 1);
      const std::uint32_t size = U32(payload, 5);
      if (size > kBlock || !InFlash(offset, size)) return Refuse("upload outside the flash");
      std::vector<std::uint8_t> out{reply, 0, 0, 0};
      out.insert(out.end(), flash_.Bytes().begin() + offset, flash_.Bytes().begin() + offset + size);
      return Reply{out, false};
    }
    case 0x2A: {
      const std::uint32_t offset = U32(payload, 1);
      const std::uint32_t size = U32(payload, 5);
      if (!InFlash(offset, size)) return Refuse("CRC outside the flash");
      std::vector<std::uint8_t> out{reply};
      PutU16(out, SimCrc16(flash_.Bytes().data() + offset, size, U16(payload, 9)));
      return Reply{out, false};
    }
    case 0x2C: {
      const std::uint32_t address = U32(payload, 1);
      const std::uint32_t size = U32(payload, 5);
      if (address > ram_.size() || size > ram_.size() - address) return Refuse("checksum outside the RAM");
      std::uint8_t sum = SumComplement(ram_.data() + address, size);
      if (faults_.wrongRamChecksum) ++sum;
      return Reply{{reply, sum}, false};
    }
    case 0x2E: {
      const bool supported = options_.chipEraseSupported.value_or(flash_.Geometry().commandSet == CommandSet::Jedec);
      return Reply{{reply, static_cast<std::uint8_t>(supported ? 1 : 0)}, false};
    }
    case 0x3A:
      Advance(true, payload[1], 0);
      return StatusReply(reply);
    case 0x3C:
      Advance(true, 0, payload[1]);
      return StatusReply(reply);
    case 0x3E: {
      std::vector<std::uint8_t> out{reply, OperationCode()};
      PutU32(out, queue_.empty() ? 0 : queue_.front().offset);
      return Reply{out, false};
    }
    case 0x40:
    case 0x42: {
      const std::optional<std::size_t> sector = flash_.SectorAt(U32(payload, 1));
      if (!sector || flash_.Sectors()[*sector].start != U32(payload, 1)) return Refuse("not a sector start");
      flash_.SetLocked(*sector, code == 0x40);
      return Reply{{reply}, false};
    }
    case 0x44: {
      std::vector<std::uint8_t> out{reply, lastActivity_.kind};
      PutU32(out, lastActivity_.address);
      PutU32(out, lastActivity_.expected);
      PutU32(out, lastActivity_.actual);
      return Reply{out, false};
    }
    case 0x48:
      Advance(true, options_.targetBuffers, options_.commandSlots);
      EndOperation();
      return Reply{{reply}, false};
    default: return Refuse("request not served");
  }
}

GpsChip::Reply GpsChip::StatusReply(std::uint8_t code) {
  std::vector<std::uint8_t> out{code, static_cast<std::uint8_t>(FreeBuffers())};
  PutU16(out, blocksProgrammed_);
  out.push_back(errorFlag_ ? 1 : 0);
  out.push_back(static_cast<std::uint8_t>(FreeSlots()));
  return Reply{out, false};
}

GpsChip::Reply GpsChip::BufferReply(std::uint8_t code, unsigned buffer) {
  Reply out = StatusReply(code);
  out.payload.push_back(static_cast<std::uint8_t>(buffer));
  return out;
}

GpsChip::Reply GpsChip::Refuse(const char* why) {
  Log(std::string("refused: ") + why);
  return Reply{{0xFF}, false};
}

std::optional<std::vector<std::uint8_t>> GpsChip::DecodeBlock(std::uint8_t form, const std::vector<std::uint8_t>& payload,
                                                              std::uint32_t offset) {
  if (form == 0x20 || form == 0x24) {
    if (payload.size() != 5 + kBlock) return std::nullopt;
    lzss_.Restart();  // a raw block breaks the compressed stream
    return std::vector<std::uint8_t>(payload.begin() + 5, payload.end());
  }
  const unsigned pad = payload[5];
  const std::uint8_t* coded = payload.data() + 6;
  const std::size_t bytes = payload.size() - 6;
  ++compressedBlocks_;
  if (form == 0x22 || form == 0x26) {
    lzss_.Restart();
    return huffman_.Decode(coded, bytes, pad);
  }
  return lzss_.Decode(coded, bytes, pad, offset);
}

GpsChip::Reply GpsChip::DownloadBlock(const std::vector<std::uint8_t>& payload, bool write) {
  const std::uint8_t code = payload[0];
  const std::uint32_t offset = U32(payload, 1);
  if (!InFlash(offset, kBlock) || offset % kBlock != 0) return Refuse("block outside the flash");
  if (write && !MakeRoom(1)) {
    errorFlag_ = true;
    return Refuse("protocol error: no free command slot");
  }
  const std::optional<unsigned> buffer = AllocateBuffer();
  if (!buffer) return Refuse("protocol error: no free target buffer");
  const std::optional<std::vector<std::uint8_t>> data = DecodeBlock(code, payload, offset);
  if (!data) {
    bufferUse_[*buffer] = BufferUse::Free;
    errorFlag_ = true;
    return Refuse("block does not decode");
  }
  buffers_[*buffer] = *data;
  bufferOffset_[*buffer] = offset;
  const std::uint8_t reply = static_cast<std::uint8_t>(code + 1);
  if (!write) {
    bufferUse_[*buffer] = BufferUse::Kept;
    return BufferReply(reply, *buffer);
  }
  bufferUse_[*buffer] = BufferUse::Queued;
  Enqueue({Command::WriteBuffer, offset, kBlock, *buffer});
  return StatusReply(reply);
}

GpsChip::Reply GpsChip::ReadToBuffer(const std::vector<std::uint8_t>& payload) {
  const std::uint32_t offset = U32(payload, 1);
  const std::uint32_t size = U32(payload, 5);
  if (size != kBlock || offset % kBlock != 0 || !InFlash(offset, size)) return Refuse("read outside the flash");
  const std::optional<unsigned> buffer = AllocateBuffer();
  if (!buffer) return Refuse("protocol error: no free target buffer");
  std::copy_n(flash_.Bytes().begin() + offset, kBlock, buffers_[*buffer].begin());
  bufferOffset_[*buffer] = offset;
  bufferUse_[*buffer] = BufferUse::Kept;
  return BufferReply(0x1B, *buffer);
}

GpsChip::Reply GpsChip::UpdateBuffer(const std::vector<std::uint8_t>& payload) {
  const unsigned buffer = payload[1];
  const std::size_t at = U16(payload, 2);
  const std::size_t bytes = payload.size() - 4;
  if (buffer >= buffers_.size() || bufferUse_[buffer] != BufferUse::Kept || at + bytes > kBlock) {
    errorFlag_ = true;
    return Refuse("protocol error: update of a buffer that is not held");
  }
  std::copy(payload.begin() + 4, payload.end(), buffers_[buffer].begin() + static_cast<long>(at));
  return StatusReply(0x1F);
}

GpsChip::Reply GpsChip::WriteGroup(const std::vector<std::uint8_t>& payload) {
  const unsigned first = payload[1];
  const unsigned count = payload[2];
  if (count == 0 || count > buffers_.size() || first >= buffers_.size()) return Refuse("bad buffer group");
  if (!MakeRoom(count)) {
    errorFlag_ = true;
    return Refuse("protocol error: not enough free command slots for the group");
  }
  for (unsigned i = 0; i < count; ++i) {
    const unsigned buffer = (first + i) % static_cast<unsigned>(buffers_.size());
    if (bufferUse_[buffer] != BufferUse::Kept) {
      errorFlag_ = true;
      return Refuse("protocol error: group holds a buffer that is not filled");
    }
  }
  for (unsigned i = 0; i < count; ++i) {
    const unsigned buffer = (first + i) % static_cast<unsigned>(buffers_.size());
    bufferUse_[buffer] = BufferUse::Queued;
    Enqueue({Command::WriteBuffer, bufferOffset_[buffer], kBlock, buffer});
  }
  return StatusReply(0x1D);
}

GpsChip::Reply GpsChip::Erase(const std::vector<std::uint8_t>& payload, bool chip) {
  if (!MakeRoom(1)) {
    errorFlag_ = true;
    return Refuse("protocol error: no free command slot");
  }
  if (chip) {
    const bool supported = options_.chipEraseSupported.value_or(flash_.Geometry().commandSet == CommandSet::Jedec);
    if (!supported || U32(payload, 1) != flash_.Size()) return Refuse("chip erase not served");
    Enqueue({Command::EraseChip, 0, flash_.Size(), 0});
    return Reply{{0x19}, false};
  }
  const std::uint32_t offset = U32(payload, 1);
  const std::uint32_t size = U32(payload, 5);
  const std::optional<std::size_t> sector = flash_.SectorAt(offset);
  if (!sector || flash_.Sectors()[*sector].start != offset || flash_.Sectors()[*sector].size != size) {
    return Refuse("not a sector");
  }
  Enqueue({Command::EraseSector, offset, size, 0});
  return Reply{{0x17}, false};
}

std::optional<unsigned> GpsChip::AllocateBuffer() {
  if (buffers_.empty() || bufferUse_[nextBuffer_] != BufferUse::Free) return std::nullopt;
  const unsigned buffer = nextBuffer_;
  nextBuffer_ = (nextBuffer_ + 1) % static_cast<unsigned>(buffers_.size());
  bufferUse_[buffer] = BufferUse::Kept;
  return buffer;
}

// The host sees the free command slots only in the statuses it asks for, and
// an erase answers without one, so a command may come while every slot is
// taken. The driver then waits for the commands at the head of its queue to
// finish before it takes the new one; only a queue that never moves leaves
// no room.
bool GpsChip::MakeRoom(unsigned slots) {
  if (FreeSlots() < slots && options_.waitsForSlots) Advance(true, 0, slots);
  return FreeSlots() >= slots;
}

void GpsChip::Enqueue(const Command& command) {
  if (queue_.empty()) headStarted_ = Clock::now();
  queue_.push_back(command);
}

void GpsChip::Advance(bool force, unsigned wantBuffers, unsigned wantSlots) {
  const auto now = Clock::now();
  while (!queue_.empty() && !faults_.stall) {
    const auto duration = Duration(queue_.front());
    const bool due = now - headStarted_ >= duration;
    const bool needed = force && (FreeBuffers() < wantBuffers || FreeSlots() < wantSlots);
    if (!due && !needed) break;
    const Command command = queue_.front();
    queue_.erase(queue_.begin());
    Execute(command);
    headStarted_ = due ? headStarted_ + std::chrono::duration_cast<Clock::duration>(duration) : now;
  }
}

std::chrono::microseconds GpsChip::Duration(const Command& command) const {
  switch (command.kind) {
    case Command::EraseSector: return options_.timings.sectorErase;
    case Command::EraseChip: return options_.timings.chipErase;
    case Command::WriteBuffer: break;
  }
  return options_.timings.blockWrite;
}

void GpsChip::Execute(const Command& command) {
  const bool intel = flash_.Geometry().commandSet == CommandSet::IntelSharp;
  if (command.kind == Command::WriteBuffer) {
    programTicks_ += Ticks(options_.timings.blockWrite);
    std::vector<std::uint8_t>& data = buffers_[command.buffer];
    bufferUse_[command.buffer] = BufferUse::Free;
    ++blocksProgrammed_;
    const bool injected = faults_.writeErrorAt && *faults_.writeErrorAt >= command.offset &&
                          *faults_.writeErrorAt < command.offset + kBlock;
    std::optional<std::uint32_t> mismatch;
    if (injected || !flash_.Program(command.offset, data.data(), data.size(), mismatch)) {
      errorFlag_ = true;
      lastActivity_ = {static_cast<std::uint8_t>(intel ? 3 : 2), command.offset, data[0], intel ? 0x0092u : 0x0020u};
      Log("block write failed at " + Hex(command.offset));
    } else if (mismatch) {
      errorFlag_ = true;
      lastActivity_ = {static_cast<std::uint8_t>(intel ? 7 : 6), *mismatch, data[*mismatch - command.offset],
                       flash_.Bytes()[*mismatch]};
      Log("block write verify failed at " + Hex(*mismatch));
    }
    if (faults_.corruptAfterWrite && *faults_.corruptAfterWrite >= command.offset &&
        *faults_.corruptAfterWrite < command.offset + kBlock) {
      flash_.CorruptByte(*faults_.corruptAfterWrite);
      Log("flash byte " + Hex(*faults_.corruptAfterWrite) + " went bad");
    }
    return;
  }
  eraseTicks_ += Ticks(Duration(command));
  for (std::size_t i = 0; i < flash_.Sectors().size(); ++i) {
    const SimSector& sector = flash_.Sectors()[i];
    if (sector.start < command.offset || sector.start >= command.offset + command.size) continue;
    if (!flash_.EraseSector(i)) {
      errorFlag_ = true;
      lastActivity_ = {static_cast<std::uint8_t>(intel ? 5 : 4), sector.start, 0x0080, intel ? 0x00A2u : 0x0020u};
      Log("erase failed at " + Hex(sector.start) + (flash_.IsLocked(i) ? " (sector locked)" : ""));
    }
  }
}

unsigned GpsChip::FreeBuffers() const {
  return static_cast<unsigned>(std::count(bufferUse_.begin(), bufferUse_.end(), BufferUse::Free));
}

unsigned GpsChip::FreeSlots() const {
  const std::size_t used = queue_.size();
  return used >= options_.commandSlots ? 0 : options_.commandSlots - static_cast<unsigned>(used);
}

std::uint8_t GpsChip::OperationCode() const {
  if (queue_.empty()) return 0;
  switch (queue_.front().kind) {
    case Command::EraseSector: return 1;
    case Command::EraseChip: return 2;
    case Command::WriteBuffer: break;
  }
  return 0;
}

void GpsChip::EndOperation() {
  lzss_.Restart();
  blocksProgrammed_ = 0;
  errorFlag_ = false;
  eraseTicks_ = 0;
  programTicks_ = 0;
}

void GpsChip::Reset() {
  if (state_ == ChipState::Driver) {
    Advance(true, options_.targetBuffers, options_.commandSlots);
    while (!queue_.empty() && !faults_.stall) Advance(true, 255, 255);
  }
  queue_.clear();
  state_ = ChipState::RomLoader;
  rate_ = kRomRate;
  ram_.clear();
  driver_.clear();
  located_ = false;
  buffers_.clear();
  bufferUse_.clear();
  bufferOffset_.clear();
  lastReply_.reset();
  EndOperation();
  Log("back in the ROM loader");
}

bool GpsChip::InFlash(std::uint32_t offset, std::uint32_t size) const {
  return offset <= flash_.Size() && size <= flash_.Size() - offset;
}

void GpsChip::Log(const std::string& line) { transcript_.push_back(line); }

void GpsChip::SetFaults(const ChipFaults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
}

std::vector<std::uint8_t> GpsChip::Flash() const {
  std::lock_guard lock(mutex_);
  return flash_.Bytes();
}

void GpsChip::FillFlash(const std::vector<std::uint8_t>& contents) {
  std::lock_guard lock(mutex_);
  flash_.Fill(contents);
}

bool GpsChip::SectorLocked(std::size_t sector) const {
  std::lock_guard lock(mutex_);
  return flash_.IsLocked(sector);
}

ChipState GpsChip::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

std::uint32_t GpsChip::ChipRate() const {
  std::lock_guard lock(mutex_);
  return rate_;
}

std::uint32_t GpsChip::BasebandRateCode() const {
  std::lock_guard lock(mutex_);
  return basebandRateCode_;
}

std::size_t GpsChip::DriverLength() const {
  std::lock_guard lock(mutex_);
  return driver_.size();
}

std::vector<std::string> GpsChip::Transcript() const {
  std::lock_guard lock(mutex_);
  return transcript_;
}

bool GpsChip::TranscriptHas(const std::string& text) const {
  std::lock_guard lock(mutex_);
  return std::any_of(transcript_.begin(), transcript_.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

std::size_t GpsChip::CompressedBlocks() const {
  std::lock_guard lock(mutex_);
  return compressedBlocks_;
}

}  // namespace gps_sim
