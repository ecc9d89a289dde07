#include "engine/images/srecord_file.h"

#include <algorithm>
#include <cstring>

#include "platform/file_io.h"

namespace {

// Output is gathered and handed to the file in pieces of this size.
constexpr std::size_t kOutputChunk = 1 << 20;

// Copies nothing for an empty run, so that a look with no buffer is fine.
void CopyBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t size) {
  if (size > 0) std::memcpy(to, from, size);
}

bool IsDataType(std::uint32_t type) { return type >= 1 && type <= 3; }
bool IsTerminationType(std::uint32_t type) { return type >= 7 && type <= 9; }

}  // namespace

CSRecordFile::CSRecordFile() = default;

CSRecordFile::~CSRecordFile() = default;

void CSRecordFile::OpenSRecordFile(const std::string& fileName, int mode) {
  if (mode != kModeRead && mode != kModeWrite) throw SREC_MODE_NOT_SUPPORTED;
  reader_.Close();
  writer_.reset();
  state_ = kClosed;
  lineCount_ = 0;
  ignoreChecksum_ = 0;
  headerOptional_ = 0;
  recordLength_ = kDefaultRecordLength;
  writeFailed_ = false;
  outputUsed_ = 0;

  if (mode == kModeRead) {
    if (!reader_.Open(fileName)) throw SREC_OPEN_ERROR;
    state_ = kExpectHeader;
    return;
  }
  auto writer = std::make_unique<platform::AtomicFileWriter>();
  if (!writer->Open(fileName)) throw SREC_CREATE_ERROR;
  writer_ = std::move(writer);
  output_.resize(kOutputChunk + kMaxRecordLineLength);
  state_ = kWriteHeaderDue;
}

void CSRecordFile::CloseSRecordFile() {
  state_ = kClosed;
  if (reader_.IsOpen() && !reader_.Close()) throw SREC_CLOSE_ERROR;
  if (!writer_) return;
  auto writer = std::move(writer_);
  if (writeFailed_) return;  // the failure was reported; the target stays as it was
  const bool written = outputUsed_ == 0 || writer->Write(output_.data(), outputUsed_);
  outputUsed_ = 0;
  if (!written || !writer->Commit()) throw SREC_CLOSE_ERROR;
}

void CSRecordFile::SetReadOption(int which, int value) {
  if (which == kIgnoreChecksum) ignoreChecksum_ = value;
  if (which == kHeaderOptional) headerOptional_ = value;
}

// ---------------------------------------------------------------- reading

std::uint32_t CSRecordFile::ReadRecord() {
  std::uint32_t characters = 0;
  std::string_view line;
  for (;;) {
    std::size_t taken = 0;
    const auto result = reader_.ReadLine(line, taken);
    if (result == CTextLineReader::Result::EndOfFile) throw SREC_END_OF_FILE;
    if (result == CTextLineReader::Result::ReadError) throw SREC_READ_ERROR;
    ++lineCount_;
    characters += static_cast<std::uint32_t>(taken);
    if (!line.empty() && line[0] != '\r') break;  // lines of only a line end are skipped
  }
  ParseRecordLine(line, current_);
  if (!ignoreChecksum_ && current_.checksum != RecordChecksum(current_)) {
    throw SREC_INVALID_CHECKSUM;
  }
  return characters;
}

void CSRecordFile::DropCurrentFront(std::uint32_t taken) {
  const std::uint32_t left = DataLength(current_) - taken;
  std::memmove(current_.data.data(), current_.data.data() + taken, left);
  current_.count = static_cast<std::uint8_t>(current_.count - taken);
  current_.address += taken;
}

std::uint32_t CSRecordFile::ReadSRecordBlock(std::uint8_t* buffer, std::uint32_t bufferSize,
                                             std::uint32_t& address, std::uint32_t& type,
                                             std::uint32_t& length) {
  length = 0;
  std::uint32_t characters = 0;
  for (;;) {
    switch (state_) {
      case kExpectHeader:
        characters += ReadRecord();
        state_ = kHeaderDue;
        break;

      case kHeaderDue: {
        if (current_.type != 0) {
          if (!headerOptional_) throw SREC_HEADER_MISSING;
          state_ = kHandleRecord;
          break;
        }
        type = 0;
        address = 0;
        if (bufferSize == 0) return characters;  // the header stays pending
        const std::uint32_t size = DataLength(current_);
        if (size > bufferSize) throw SREC_BUFFER_TOO_SMALL;
        CopyBytes(buffer, current_.data.data(), size);
        length = size;
        state_ = kCollecting;
        return characters;
      }

      case kCollecting:
        characters += ReadRecord();
        state_ = kHandleRecord;
        break;

      case kHandleRecord:
        if (current_.type == 0) {
          if (!headerOptional_) throw SREC_ILLEGAL_RECORD_TYPE;
          // A block collected so far is handed out first; the header stays
          // current for the next call.
          if (length > 0) return characters;
          state_ = kHeaderDue;
        } else if (IsDataType(current_.type)) {
          if (length == 0) {
            type = current_.type;
            address = current_.address;
          }
          const bool follows = current_.type == type &&
                               std::uint64_t{address} + length == current_.address;
          if (!follows) return characters;  // the record stays current
          state_ = kCopyData;
        } else if (IsTerminationType(current_.type)) {
          // As with a header: the block first, the end at the next call.
          if (length > 0) return characters;
          type = current_.type;
          address = current_.address;
          state_ = kExpectHeader;
          return characters;
        } else {
          throw SREC_TYPE_NOT_SUPPORTED;
        }
        break;

      case kCopyData: {
        const std::uint32_t room = bufferSize - length;
        const std::uint32_t size = DataLength(current_);
        if (size <= room) {
          CopyBytes(buffer + length, current_.data.data(), size);
          length += size;
          state_ = kCollecting;
          if (length == bufferSize) return characters;
          break;
        }
        CopyBytes(buffer + length, current_.data.data(), room);
        length += room;
        DropCurrentFront(room);
        state_ = kHandleRecord;
        return characters;
      }

      default:
        throw SREC_READ_STATE_ERROR;
    }
  }
}

// ---------------------------------------------------------------- writing

void CSRecordFile::WriteSRecordBlock(const std::uint8_t* data, std::uint32_t length,
                                     std::uint32_t address, std::uint32_t type,
                                     std::uint32_t& written) {
  written = 0;
  switch (state_) {
    case kWriteHeaderDue:
      if (type == 0) {
        WriteHeader(data, length, written);
        state_ = kWriteBetweenBlocks;
        return;
      }
      if (!headerOptional_) throw SREC_ILLEGAL_RECORD_TYPE;
      state_ = kWriteBetweenBlocks;
      [[fallthrough]];

    case kWriteBetweenBlocks:
      if (type == 0) throw SREC_ILLEGAL_RECORD_TYPE;
      if (IsDataType(type)) {
        WriteData(data, length, address, type, written);
        return;
      }
      if (IsTerminationType(type)) {
        WriteTermination(address, type);
        state_ = kWriteHeaderDue;
        return;
      }
      throw SREC_TYPE_NOT_SUPPORTED;

    default:
      // Also a block left half written by a failed write.
      throw SREC_WRITE_STATE_ERROR;
  }
}

void CSRecordFile::WriteHeader(const std::uint8_t* data, std::uint32_t length,
                               std::uint32_t& written) {
  const int room = static_cast<int>(recordLength_) - 1;
  if (room < 0) throw SREC_WRITE_ERROR;
  const std::uint32_t size = std::min(length, static_cast<std::uint32_t>(room));
  WriteRecordLine(0, static_cast<std::uint8_t>(size + 1), 0, data, size);
  written = size;
}

void CSRecordFile::WriteData(const std::uint8_t* data, std::uint32_t length,
                             std::uint32_t address, std::uint32_t type, std::uint32_t& written) {
  const std::uint32_t addressBytes = AddressBytes(type);
  const int room = static_cast<int>(recordLength_) - static_cast<int>(addressBytes) - 1;
  // Refused before anything is written: a record length with no room for a
  // data byte, or a block that the type's address field cannot reach.
  if (room < 1) throw SREC_WRITE_ERROR;
  const std::uint64_t last = std::uint64_t{address} + (length > 0 ? length - 1 : 0);
  if (last > HighestAddress(type)) throw SREC_ILLEGAL_RECORD_TYPE;

  state_ = kWriteData;
  const auto full = static_cast<std::uint32_t>(room);
  while (length - written >= full) {
    WriteRecordLine(type, recordLength_, address + written, data + written, full);
    written += full;
    if (written == length) {
      state_ = kWriteBetweenBlocks;
      return;
    }
  }
  const std::uint32_t left = length - written;
  WriteRecordLine(type, static_cast<std::uint8_t>(addressBytes + left + 1), address + written,
                  data + written, left);
  written = length;
  state_ = kWriteBetweenBlocks;
}

void CSRecordFile::WriteTermination(std::uint32_t address, std::uint32_t type) {
  if (address > HighestAddress(type)) throw SREC_ILLEGAL_RECORD_TYPE;
  WriteRecordLine(type, static_cast<std::uint8_t>(AddressBytes(type) + 1), address, nullptr, 0);
}

void CSRecordFile::WriteRecordLine(std::uint32_t type, std::uint8_t count, std::uint32_t address,
                                   const std::uint8_t* data, std::uint32_t length) {
  if (!writer_ || writeFailed_) FailWrite();
  outputUsed_ += FormatRecordLine(type, count, address, data, length, output_.data() + outputUsed_);
  ++lineCount_;
  if (outputUsed_ >= kOutputChunk) FlushOutput();
}

void CSRecordFile::FlushOutput() {
  if (!writer_->Write(output_.data(), outputUsed_)) FailWrite();
  outputUsed_ = 0;
}

void CSRecordFile::FailWrite() {
  writeFailed_ = true;
  throw SREC_WRITE_ERROR;
}
