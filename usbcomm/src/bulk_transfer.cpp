#include "bulk_transfer.h"

#include <cstring>
#include <vector>

#include "pellwick/pellwick.h"
#include "pwl_codes.h"

namespace pellwick {

namespace {

constexpr int kZlpProtocolA = 5;
constexpr int kZlpProtocolB = 6;

struct Piece {
  int status;
  std::uint32_t written;
};

Piece WritePiece(const TransferContext& t, const std::uint8_t* data, std::uint32_t size, std::uint32_t timeoutMs) {
  std::uint32_t n = size;
  int status = t.write(t.device, t.handle, kPipeBulk, data, &n, timeoutMs);
  if (n > size) n = size;  // a driver never moves more than asked
  return Piece{status, n};
}

// The zero-length packet that closes a write.
int WriteZeroLengthPacket(const TransferContext& t, const std::uint8_t* data, std::uint32_t timeoutMs) {
  std::uint32_t zero = 0;
  return t.write(t.device, t.handle, kPipeBulk, data, &zero, timeoutMs);
}

}  // namespace

bool EndsWithZeroLengthPacket(int protocol, std::uint32_t length, std::int16_t epSize) {
  if (protocol != kZlpProtocolA && protocol != kZlpProtocolB) return false;
  if (epSize < 1) return false;
  return length % static_cast<std::uint32_t>(epSize) == 0;
}

int BulkRead(const TransferContext& t, void* buffer, int* length, std::uint32_t timeoutMs) {
  if (*length < 0 || (!buffer && *length > 0)) return PWL_RC_TRANSFER_FAILED;
  const auto wanted = static_cast<std::uint32_t>(*length);
  *length = 0;
  std::uint32_t got = wanted;
  int status = t.read(t.device, t.handle, kPipeBulk, buffer, &got, timeoutMs);
  if (got > wanted) got = wanted;
  // Only a complete read that filled whole packets is closed by a zero-length one.
  if (status == kPstOk && got == wanted && EndsWithZeroLengthPacket(t.protocol, wanted, t.readEpSize)) {
    std::uint8_t scratch[1] = {0};
    std::uint32_t zero = 0;
    status = t.read(t.device, t.handle, kPipeBulk, scratch, &zero, kZeroLengthReadTimeoutMs);
  }
  *length = static_cast<int>(got);
  return MapPstStatus(status);
}

int BulkWrite(const TransferContext& t, const void* buffer, std::uint32_t* length, std::uint32_t timeoutMs) {
  const std::uint32_t total = *length;
  const std::uint32_t m = t.maxBulkSize;
  const auto* data = static_cast<const std::uint8_t*>(buffer);
  if (m == 0 || (!data && total > 0)) return PWL_RC_TRANSFER_FAILED;
  *length = 0;
  std::uint32_t sent = 0;
  // Every piece but the last is of the maximum bulk size.
  while (total - sent > m) {
    Piece piece = WritePiece(t, data + sent, m, timeoutMs);
    sent += piece.written;
    *length = sent;
    if (piece.status != kPstOk) return MapPstStatus(piece.status);
    if (piece.written == 0) return PWL_RC_TRANSFER_FAILED;
  }
  const std::uint32_t last = total - sent;
  Piece piece = WritePiece(t, data + sent, last, timeoutMs);
  sent += piece.written;
  *length = sent;
  if (piece.status != kPstOk) return MapPstStatus(piece.status);
  if (last > 0 && piece.written == 0) return PWL_RC_TRANSFER_FAILED;
  int status = piece.status;
  if (EndsWithZeroLengthPacket(t.protocol, piece.written, t.writeEpSize)) {
    status = WriteZeroLengthPacket(t, data ? data + sent : nullptr, timeoutMs);
  }
  return MapPstStatus(status);
}

int CommandRead(const TransferContext& t, const void* header, void* destination, std::uint32_t* length,
                std::uint32_t timeoutMs) {
  // The read carries its command header: room for less than that is refused.
  if (*length < kCommandHeaderSize || !header || !destination) {
    *length = 0;
    return PWL_RC_FAILURE;
  }
  const std::uint32_t room = *length;
  std::vector<std::uint8_t> buffer(room, 0);
  std::memcpy(buffer.data(), header, kCommandHeaderSize);
  std::memset(destination, 0, room);
  std::uint32_t got = room;
  int status = t.read(t.device, t.handle, kPipeCommand, buffer.data(), &got, timeoutMs);
  if (got > room) got = room;
  std::memcpy(destination, buffer.data(), got);
  *length = got;
  return MapPstStatus(status);
}

int CommandWrite(const TransferContext& t, const void* buffer, std::uint32_t* length, std::uint32_t timeoutMs) {
  if (!buffer && *length > 0) return PWL_RC_TRANSFER_FAILED;
  std::uint32_t n = *length;
  int status = t.write(t.device, t.handle, kPipeCommand, buffer, &n, timeoutMs);
  *length = n;
  return MapPstStatus(status);
}

}  // namespace pellwick
