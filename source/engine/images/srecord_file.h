#pragma once
// Reads an S-record file block by block, or writes one block by block.
//
// A block is a run of data records of one type whose addresses follow on
// without a gap. The reader hands out the header, then one block per call,
// then the start address of the termination record. The writer takes a
// header, data blocks (split into records of recordLength) and a
// termination record. Every failure is thrown as an SREC_EXCEPTION value;
// the file stays open after a failure and the caller closes it.
//
// A file written here appears under its name only when CloseSRecordFile
// succeeds: the records go to a temporary file beside it, which is renamed
// over the target at the close. An object destroyed without a close, or
// closed after a failed write, leaves the target as it was.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/images/srecord.h"
#include "engine/images/srecord_error.h"
#include "engine/images/text_line_reader.h"

namespace platform {
class AtomicFileWriter;
}

class CSRecordFile {
 public:
  enum Mode { kModeRead = 0, kModeWrite = 1 };
  enum ReadOption { kIgnoreChecksum = 0, kHeaderOptional = 1 };
  static constexpr std::uint8_t kDefaultRecordLength = 26;

  CSRecordFile();
  ~CSRecordFile();
  CSRecordFile(const CSRecordFile&) = delete;
  CSRecordFile& operator=(const CSRecordFile&) = delete;

  // Mode 0 opens for reading, mode 1 creates or truncates for writing.
  // Clears the line count and both options; the record length becomes 26.
  void OpenSRecordFile(const std::string& fileName, int mode);
  void CloseSRecordFile();

  // which 0: ignoreChecksum, which 1: headerOptional; others do nothing.
  void SetReadOption(int which, int value);
  std::uint8_t GetRecordLength() const { return recordLength_; }
  void SetRecordLength(std::uint8_t length) { recordLength_ = length; }
  // Lines read (empty lines included) or records written.
  std::uint32_t GetLineCount() const { return lineCount_; }

  // Hands out the header (type 0), one data block (type 1-3) or the end
  // (type 7-9, address from the termination record, length 0). Returns the
  // characters read by the call. With bufferSize 0 the due record is looked
  // at without taking its data: it stays pending for the next call.
  std::uint32_t ReadSRecordBlock(std::uint8_t* buffer, std::uint32_t bufferSize,
                                 std::uint32_t& address, std::uint32_t& type,
                                 std::uint32_t& length);

  // Writes a header (type 0), a data block (types 1-3) or a termination
  // record (types 7-9, address as its start address); written is the number
  // of data bytes written.
  void WriteSRecordBlock(const std::uint8_t* data, std::uint32_t length, std::uint32_t address,
                         std::uint32_t type, std::uint32_t& written);

 private:
  enum State : int {
    kExpectHeader = 0,
    kHeaderDue = 1,
    kCollecting = 2,
    kHandleRecord = 3,
    kCopyData = 4,
    kWriteHeaderDue = 5,
    kWriteBetweenBlocks = 6,
    kWriteData = 7,
    kClosed = 8,
  };

  std::uint32_t ReadRecord();
  void DropCurrentFront(std::uint32_t taken);
  void WriteHeader(const std::uint8_t* data, std::uint32_t length, std::uint32_t& written);
  void WriteData(const std::uint8_t* data, std::uint32_t length, std::uint32_t address,
                 std::uint32_t type, std::uint32_t& written);
  void WriteTermination(std::uint32_t address, std::uint32_t type);
  void WriteRecordLine(std::uint32_t type, std::uint8_t count, std::uint32_t address,
                       const std::uint8_t* data, std::uint32_t length);
  void FlushOutput();
  void FailWrite();

  CTextLineReader reader_;
  std::unique_ptr<platform::AtomicFileWriter> writer_;
  std::vector<char> output_;  // records not yet handed to the file
  std::size_t outputUsed_ = 0;
  bool writeFailed_ = false;

  int state_ = kClosed;
  SRecord current_;
  std::uint32_t lineCount_ = 0;
  std::uint8_t recordLength_ = kDefaultRecordLength;
  int ignoreChecksum_ = 0;
  int headerOptional_ = 0;
};
