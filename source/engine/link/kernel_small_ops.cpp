// The small operations of a CKernel: reset, the magic key, the custom
// command of a custom menu item, the target name, and the two smartphone
// command lines for the outside terminal library. The comm check is in
// kernel.cpp.

#include "engine/link/kernel_small_ops.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/core/region_list.h"
#include "engine/link/kernel.h"
#include "engine/link/kernel_op_requests.h"
#include "engine/link/kernel_requests.h"
#include "engine/link/link_error.h"
#include "engine/prompt/prompt_service.h"
#include "ralix/ralix.h"

namespace {

constexpr std::uint32_t kNoReplyWanted = 0x1;
constexpr int kRalixAccepted = 1;
constexpr std::size_t kCommandEntry = 0;
constexpr std::size_t kReplyEntry = 1;
// Byte 3 of a name-query reply that carries a text for the user.
constexpr std::uint8_t kTextReplyMark = 0x03;

}  // namespace

std::string TerminatedText(const std::uint8_t* reply, std::size_t replyLength, std::size_t offset) {
  if (!reply || replyLength <= offset) return {};
  const auto* begin = reply + offset;
  const auto* end = std::find(begin, reply + replyLength, 0);
  return std::string(begin, end);
}

bool IsTextReply(const std::uint8_t* reply, std::size_t replyLength) {
  return reply && replyLength > 3 && reply[0] == kNameReplyGroup && reply[1] == kNameReplyOpcode &&
         reply[3] == kTextReplyMark;
}

std::string CustomReplyBoxText(const std::string& label, const std::string& reply) {
  const std::string command = label.empty() ? "the custom command" : "the custom command '" + label + "'";
  return "Reply of the radio to " + command + ":\n\n" + reply;
}

int CKernel::StartResetTarget(int mode) {
  return StartOperation(mode, false, {EVENT_RESET_TARGET_DONE, EVENT_RESET_TARGET_FAILED, EVENT_RESET_TARGET_FAILED},
                        [this] { return RunResetTarget(); });
}

int CKernel::RunResetTarget() {
  const int result = OpenKernelLink();
  if (result != KERNEL_OK) return result;
  auto channel = OpenKernelChannel();
  const auto request = ResetRequest();
  channel->Send(request.data(), request.size(), kResetRetries);
  return KERNEL_OK;
}

int CKernel::StartProgramMagicKey(int mode) {
  return StartOperation(mode, false, {EVENT_MAGIC_KEY_DONE, EVENT_MAGIC_KEY_FAILED, EVENT_MAGIC_KEY_FAILED},
                        [this] { return RunProgramMagicKey(); });
}

int CKernel::RunProgramMagicKey() {
  const int result = OpenKernelLink();
  return result == KERNEL_OK ? ProgramMagicKey() : result;
}

int CKernel::ProgramMagicKey() {
  auto channel = OpenKernelChannel();
  std::vector<std::uint8_t> reply(kKernelReplyCapacity);
  for (const std::uint8_t step : {0x00, 0x01}) {
    const auto request = MagicKeyRequest(step);
    channel->Transact(request.data(), request.size(), reply.data(), reply.size(), kMagicKeyPolls, kMagicKeyRetries);
    if (reply[kReplyStatusOffset] != 0) return KERNEL_STATUS_MAGIC_KEY_FAILED;
  }
  return KERNEL_OK;
}

int CKernel::StartCustomCommand(CRegionList* command, int mode, const std::string& label) {
  return StartOperation(mode, false,
                        {EVENT_CUSTOM_COMMAND_DONE, EVENT_CUSTOM_COMMAND_FAILED, EVENT_CUSTOM_COMMAND_FAILED},
                        [this, label] { return RunCustomCommand(label); }, command);
}

int CKernel::RunCustomCommand(const std::string& label) {
  CRegionList* record = listA_;
  // A record without its request, or a request without bytes, is nothing
  // the kernel could be sent.
  if (!record || record->Count() <= kReplyEntry) return KERNEL_ERROR_UNKNOWN;
  const ImageRegion& command = (*record)[kCommandEntry];
  ImageRegion& reply = (*record)[kReplyEntry];
  if (!command.buffer || command.length == 0) return KERNEL_ERROR_UNKNOWN;
  if (const int result = OpenKernelLink(); result != KERNEL_OK) return result;
  auto channel = OpenKernelChannel();
  if (command.address & kNoReplyWanted) {
    channel->Send(command.buffer, command.length, kCustomRetries);
    return KERNEL_OK;
  }
  // The kernel's whole reply is read into a buffer of the largest reply;
  // what reaches the record's reply buffer, and the text shown from it,
  // never runs past that buffer's length.
  std::vector<std::uint8_t> whole(kKernelReplyCapacity);
  channel->Transact(command.buffer, command.length, whole.data(), whole.size(), kCustomPolls, kCustomRetries);
  const std::size_t kept = reply.buffer ? std::min<std::size_t>(reply.length, whole.size()) : 0;
  if (kept) std::memcpy(reply.buffer, whole.data(), kept);
  if (whole[kReplyStatusOffset] != 0) return QueryTargetStatus(*channel);
  if (IsTextReply(whole.data(), kept))
    AppMessageBox(CustomReplyBoxText(label, TerminatedText(whole.data(), kept, kCustomTextOffset)), kBoxOk);
  return KERNEL_OK;
}

int CKernel::GetTargetName(char* out, std::size_t capacity) {
  try {
    if (const int result = OpenKernelLink(); result != KERNEL_OK) return result;
    auto channel = OpenKernelChannel();
    const auto request = TargetNameRequest();
    std::vector<std::uint8_t> reply(kKernelReplyCapacity);
    channel->Transact(request.data(), request.size(), reply.data(), reply.size(), kTargetNamePolls,
                      kTargetNameRetries);
    if (reply[kReplyStatusOffset] != 0) return QueryTargetStatus(*channel);
    const std::string name = TerminatedText(reply.data(), reply.size(), kTargetNameOffset);
    if (out && capacity > 0) {
      const std::size_t length = std::min(name.size(), capacity - 1);
      std::memcpy(out, name.data(), length);
      out[length] = '\0';
    }
    return KERNEL_OK;
  } catch (ISP_EXCEPTION failure) {
    return LinkErrorToMessage(failure);
  } catch (...) {
    return KERNEL_ERROR_UNKNOWN;
  }
}

std::string CKernel::SmartphoneFileLine(const std::string& fileName) { return "l \"" + fileName + "\"\r"; }

std::string CKernel::SmartphoneFormatLine() { return "format 1\r"; }

int CKernel::StartSmartphoneFile(const std::string& fileName, int mode) {
  if (busy_.load()) return KERNEL_ERROR_BUSY;
  smartphoneFile_ = fileName;
  return StartOperation(mode, true, {EVENT_PHONE_COMMAND_SENT, EVENT_PHONE_CANCELLED, EVENT_PHONE_SEND_FAILED},
                        [this] { return RunSmartphoneFile(); });
}

int CKernel::RunSmartphoneFile() {
  const std::string line = SmartphoneFileLine(smartphoneFile_);
  return Func789(line.c_str(), line.size()) == kRalixAccepted ? KERNEL_OK : KERNEL_ERROR_RALIX;
}

int CKernel::StartSmartphoneFormat(int mode) {
  return StartOperation(mode, false, {EVENT_PHONE_COMMAND_SENT, EVENT_PHONE_CANCELLED, EVENT_PHONE_SEND_FAILED, false},
                        [this] { return RunSmartphoneFormat(); });
}

int CKernel::RunSmartphoneFormat() {
  const std::string line = SmartphoneFormatLine();
  return Func789(line.c_str(), line.size()) == kRalixAccepted ? KERNEL_OK : KERNEL_ERROR_RALIX;
}
