#include "engine/images/file_load_worker.h"

#include <cstring>
#include <thread>
#include <vector>

#include "engine/core/buffer_registry.h"
#include "engine/core/job_options.h"
#include "engine/core/kernel_error_code.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/images/allocation_lookup.h"
#include "engine/images/image_kind.h"
#include "engine/images/srecord_file.h"

namespace {

constexpr std::uint32_t kHeaderBufferSize = 512;
constexpr std::uint32_t kTopAddressBits = 0xF0000000;

// Reads the headers and the data records of one file into the request's
// loaded image.
class CImageFileLoader {
 public:
  CImageFileLoader(FileLoadRequest& request, SectorList sectors)
      : request_(request), sectors_(std::move(sectors)) {}

  void Run() {
    reader_.OpenSRecordFile(request_.fileName, CSRecordFile::kModeRead);
    reader_.SetReadOption(CSRecordFile::kIgnoreChecksum, request_.overrideChecksum);
    reader_.SetReadOption(CSRecordFile::kHeaderOptional, 1);
    LoadData(ScanHeaders());
    reader_.CloseSRecordFile();
  }

 private:
  struct Peek {
    std::uint32_t address = 0;
    std::uint32_t type = 0;
  };

  // Looks at the next record without taking its data.
  Peek LookAhead() {
    Peek peek;
    std::uint32_t length = 0;
    reader_.ReadSRecordBlock(nullptr, 0, peek.address, peek.type, length);
    return peek;
  }

  // Every S0 record before the first data record is a header; a later one
  // overrides an earlier one. Only a record seen to be S0 is read as one, so
  // a file without a header loses no data to the scan. Returns the look at
  // the first record after the headers (a look at an end record takes it).
  Peek ScanHeaders() {
    ImageKind kind = ImageKind::Plain;
    std::uint8_t header[kHeaderBufferSize];
    Peek peek = LookAhead();
    while (peek.type == 0) {
      std::uint32_t address = 0, type = 0, length = 0;
      reader_.ReadSRecordBlock(header, kHeaderBufferSize, address, type, length);
      kind = ImageKindOfHeader(header, length);
      peek = LookAhead();
    }
    request_.flashpack = FlashpackFlag(kind);
    relocated_ = IsRelocatedKind(kind);
    relocationBase_ = peek.address;
    if (relocated_) {
      target_ = TargetAllocation(kind, sectors_);
      targetAddress_ = AllocationAddress(target_, sectors_);
    }
    topBits_ = FlashBaseAddress(sectors_) & kTopAddressBits;
    return peek;
  }

  void LoadData(Peek peek) {
    for (;; peek = LookAhead()) {
      if (peek.type == 7) return;
      if (peek.type != 3) throw SREC_ILLEGAL_RECORD_TYPE;

      std::uint32_t address = 0;
      std::uint32_t room = 0;
      if (!Relocate(peek.address, address) || !RoomAt(address, room)) return;

      std::uint8_t* scratch = Scratch(room);
      std::uint32_t blockAddress = 0, type = 0, length = 0;
      reader_.ReadSRecordBlock(scratch, room, blockAddress, type, length);
      // A record without data lets the read go on to the record after it,
      // which is held to the same rules.
      if (type == 7) return;
      if (type != 3) throw SREC_ILLEGAL_RECORD_TYPE;
      if (!Place(blockAddress, scratch, length)) return;
    }
  }

  // The flash address of a file address: moved into the target allocation
  // for relocated kinds, with the top address bits of the flash base.
  bool Relocate(std::uint32_t fileAddress, std::uint32_t& address) {
    std::uint64_t moved = fileAddress;
    if (relocated_) {
      moved = std::uint64_t{targetAddress_} + fileAddress - relocationBase_;
      if (fileAddress < relocationBase_ || moved > 0xFFFFFFFFu) {
        const auto failing = static_cast<std::uint32_t>(moved) | topBits_;
        return Fail(failing);
      }
    }
    address = static_cast<std::uint32_t>(moved) | topBits_;
    return true;
  }

  // The room from the address to the end of its allocation; for relocated
  // kinds the address must lie in the target allocation.
  bool RoomAt(std::uint32_t address, std::uint32_t& room) {
    int index = 0;
    if (AllocationRemaining(room, address, index, sectors_) != 0) return Fail(address);
    if (relocated_ && AllocationNameAt(address, sectors_) != target_) return Fail(address);
    return true;
  }

  // Copies a block into registry buffers, one region per allocation run it
  // covers.
  bool Place(std::uint32_t fileAddress, const std::uint8_t* data, std::uint32_t length) {
    std::uint32_t address = 0;
    if (!Relocate(fileAddress, address)) return false;
    std::uint32_t done = 0;
    while (done < length) {
      const std::uint32_t at = address + done;
      std::uint32_t room = 0;
      if (!RoomAt(at, room)) return false;
      const std::uint32_t size = std::min(room, length - done);
      std::uint8_t* buffer = GetBufferRegistry().Allocate(size);
      std::memcpy(buffer, data + done, size);
      request_.image->Add(at, size, buffer);
      done += size;
    }
    return true;
  }

  // A buffer of at least size bytes for one block, kept between blocks; an
  // allocation's room can be large and is rarely filled, so it is neither
  // cleared nor shrunk.
  std::uint8_t* Scratch(std::uint32_t size) {
    if (size > scratchSize_) {
      scratch_ = std::make_unique_for_overwrite<std::uint8_t[]>(size);
      scratchSize_ = size;
    }
    return scratch_.get();
  }

  bool Fail(std::uint32_t address) {
    request_.result = ADDRESS_OUT_OF_RANGE;
    request_.resultDetail = static_cast<std::int32_t>(address);
    return false;
  }

  FileLoadRequest& request_;
  const SectorList sectors_;
  CSRecordFile reader_;
  std::unique_ptr<std::uint8_t[]> scratch_;
  std::uint32_t scratchSize_ = 0;
  bool relocated_ = false;
  std::string target_;
  std::uint32_t targetAddress_ = 0;
  std::uint32_t relocationBase_ = 0;
  std::uint32_t topBits_ = 0;
};

}  // namespace

int FileLoadWorker(std::unique_ptr<FileLoadRequest> request) {
  request->image = MakeRegionList();
  request->result = 0;
  try {
    SectorList sectors;
    if (request->options != nullptr) sectors = request->options->GetSectorList();
    CImageFileLoader(*request, std::move(sectors)).Run();
  } catch (SREC_EXCEPTION e) {
    request->result = e;
  } catch (...) {
    request->result = KERNEL_ERROR_UNKNOWN;
  }
  PostToTarget<WM_FILE_LOADED>(PT_CORE, std::move(request));
  return 1;
}

void StartFileLoadWorker(std::unique_ptr<FileLoadRequest> request) {
  std::thread(FileLoadWorker, std::move(request)).detach();
}
