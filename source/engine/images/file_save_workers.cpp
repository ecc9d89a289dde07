#include "engine/images/file_save_workers.h"

#include <cstring>
#include <string>
#include <thread>

#include "engine/core/device_event.h"
#include "engine/core/error_record.h"
#include "engine/core/finish_record.h"
#include "engine/core/kernel_error_code.h"
#include "engine/core/messages.h"
#include "engine/core/region_list.h"
#include "engine/core/post_target.h"
#include "engine/images/srecord_file.h"
#include "platform/file_io.h"

namespace {

constexpr std::uint32_t kDataRecordType = 3;
constexpr std::uint32_t kEndRecordType = 7;

// The log names the file that now holds the device's data: when one request
// read several devices, each has a file of its own.
void PostSaved(const FileSaveRequest& request) {
  PostToTarget<WM_LOG_LINE>(PT_USER_IO, std::make_unique<std::string>(GetDeviceName(request.device) +
                                                                      "> File saved " + request.outputFileName));
  PostToTarget<WM_JOB_FINISHED>(PT_CORE,
               std::make_unique<FinishRecord>(FinishRecord{request.device, EVENT_STATUS_READ_FILE_SAVED}));
}

void PostSaveFailed(DeviceNumber device, int errorCode) {
  PostToTarget<WM_JOB_ERROR>(PT_CORE,
               MakeErrorRecord(device, EVENT_STATUS_READ_FILE_SAVE_FAILED, errorCode, nullptr));
}

// Header, every region as S3 records moved by (output - read base), and the
// S7 end record with the output address as the entry address. The file is
// renamed into place by the close; an exception leaves it unwritten.
void WriteReadBackImage(const FileSaveRequest& request) {
  CSRecordFile file;
  file.OpenSRecordFile(request.outputFileName, CSRecordFile::kModeWrite);
  file.SetRecordLength(request.recordLength);
  std::uint32_t written = 0;
  const auto* header = reinterpret_cast<const std::uint8_t*>(kReadBackHeader);
  file.WriteSRecordBlock(header, static_cast<std::uint32_t>(std::strlen(kReadBackHeader)), 0, 0, written);
  const std::uint32_t shift = request.outputAddress - request.readBaseAddress;
  if (request.data != nullptr) {
    for (const auto& region : *request.data) {
      file.WriteSRecordBlock(region.buffer, region.length, region.address + shift, kDataRecordType, written);
    }
  }
  file.WriteSRecordBlock(nullptr, 0, request.outputAddress, kEndRecordType, written);
  file.CloseSRecordFile();
}

void AppendBigEndian32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// Each region as {address, length} (big-endian) and its bytes.
bool WriteRamDump(const FileSaveRequest& request) {
  platform::AtomicFileWriter file;
  if (!file.Open(request.outputFileName)) return false;
  if (request.data != nullptr) {
    for (const auto& region : *request.data) {
      std::string header;
      AppendBigEndian32(header, region.address);
      AppendBigEndian32(header, region.length);
      if (!file.Write(header.data(), header.size())) return false;
      if (region.length > 0 && !file.Write(region.buffer, region.length)) return false;
    }
  }
  return file.Commit();
}

}  // namespace

int SRecordSaveWorker(std::unique_ptr<FileSaveRequest> request) {
  try {
    WriteReadBackImage(*request);
    PostSaved(*request);
  } catch (SREC_EXCEPTION e) {
    PostSaveFailed(request->device, e);
  } catch (...) {
    PostSaveFailed(request->device, KERNEL_ERROR_UNKNOWN);
  }
  return 1;
}

int BinarySaveWorker(std::unique_ptr<FileSaveRequest> request) {
  if (WriteRamDump(*request)) {
    PostSaved(*request);
  } else {
    PostSaveFailed(request->device, SREC_CREATE_ERROR);
  }
  return 1;
}

void StartSRecordSaveWorker(std::unique_ptr<FileSaveRequest> request) {
  std::thread(SRecordSaveWorker, std::move(request)).detach();
}

void StartBinarySaveWorker(std::unique_ptr<FileSaveRequest> request) {
  std::thread(BinarySaveWorker, std::move(request)).detach();
}
