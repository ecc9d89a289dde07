#pragma once
// The kinds of payload record that a queued job carries, one per record type.

enum class JobPayloadKind {
  None,
  File,             // FileJobPayload
  Options,          // CJobOptions
  ReadBack,         // ReadBackPayload
  FlashpackRemove,  // FlashpackRemovePayload
  CustomCommand,    // CustomCommandPayload
  RamDump,          // RamDumpPayload
  FileTransfer,     // FileTransferRequest
  FileName,         // std::string, the file to delete
};
