#include "engine/core/job_options.h"

#include <cstddef>

namespace {

using IntField = int JobOptionValues::*;

// The plain integer options by id; ids 2, 4, 7 and 12 to 14 are not plain
// integers and have no entry.
IntField IntFieldOfId(int id) {
  switch (id) {
    case OPTION_COMM_PROTOCOL: return &JobOptionValues::commProtocol;
    case OPTION_SERIAL_PORT: return &JobOptionValues::serialPort;
    case OPTION_DATA_RATE: return &JobOptionValues::dataRate;
    case OPTION_REMOTE_PORT: return &JobOptionValues::remotePort;
    case OPTION_DATA_RATE_DIVISOR: return &JobOptionValues::dataRateDivisor;
    case OPTION_OVERRIDE_CHECKSUM: return &JobOptionValues::overrideChecksum;
    case OPTION_AUTO_ERASE_FLASH: return &JobOptionValues::autoEraseFlash;
    case OPTION_AUTO_PROGRAM_MAGIC_KEY: return &JobOptionValues::autoProgramMagicKey;
    case OPTION_ENABLE_REMOTE_CONTROL: return &JobOptionValues::enableRemoteControl;
    case OPTION_ORVIX_ENABLE_CHIP_SELECTION: return &JobOptionValues::orvixEnableChipSelection;
    case OPTION_ORVIX_CHIP_SELECT: return &JobOptionValues::orvixChipSelect;
    case OPTION_ORVIX_CHIP_OFFSET: return &JobOptionValues::orvixChipOffset;
    case OPTION_ORVIX_PROGRAMMING_OPTION: return &JobOptionValues::orvixProgrammingOption;
    case OPTION_ALWAYS_ON_TOP: return &JobOptionValues::alwaysOnTop;
    case OPTION_ENABLE_SMART_FLASHING: return &JobOptionValues::enableSmartFlashing;
    case OPTION_PRODUCT_FILTER: return &JobOptionValues::productFilter;
    default: return nullptr;
  }
}

template <class Values>
auto StringFieldOfId(Values& values, int id) -> decltype(&values.productFile) {
  switch (id) {
    case OPTION_PRODUCT_FILE: return &values.productFile;
    case OPTION_PRODUCT_TAG: return &values.productTag;
    case OPTION_SERVER: return &values.server;
    default: return nullptr;
  }
}

template <class Table>
bool IndexInTable(int index, const Table& table) {
  return index >= 0 && static_cast<std::size_t>(index) < table.size();
}

std::string ComPortName(int index) {
  // Widened so that no index overflows when one is added.
  return "COM" + std::to_string(static_cast<long long>(index) + 1);
}

}  // namespace

std::uint32_t BaudRateOfDataRate(int index) {
  if (!IndexInTable(index, kDataRateTable)) index = kDefaultDataRateIndex;
  return kDataRateTable[static_cast<std::size_t>(index)];
}

int DivisorOfIndex(int index) {
  if (!IndexInTable(index, kDivisorTable)) index = kDefaultDivisorIndex;
  return kDivisorTable[static_cast<std::size_t>(index)];
}

int ChipFamilyFromName(const std::string& processorName) {
  if (processorName == "CALDER") return CHIP_FAMILY_CALDER;
  if (processorName == "HARROW") return CHIP_FAMILY_HARROW;
  if (processorName == "BISEL") return CHIP_FAMILY_BISEL;
  return CHIP_FAMILY_UNKNOWN;
}

CJobOptions::CJobOptions() { DeriveLocked(); }

CJobOptions::CJobOptions(const CJobOptions& other) {
  std::lock_guard source(other.lock_);
  sectors_ = other.sectors_;
  values_ = other.values_;
  DeriveLocked();
}

CJobOptions& CJobOptions::operator=(const CJobOptions& other) {
  if (this == &other) return *this;
  std::scoped_lock both(lock_, other.lock_);
  sectors_ = other.sectors_;
  values_ = other.values_;
  DeriveLocked();
  return *this;
}

void CJobOptions::SetDataRateLocked(int index) {
  values_.dataRate = IndexInTable(index, kDataRateTable) ? index : kDefaultDataRateIndex;
  baudRate_ = BaudRateOfDataRate(values_.dataRate);
}

void CJobOptions::SetDivisorLocked(int index) {
  values_.dataRateDivisor = IndexInTable(index, kDivisorTable) ? index : kDefaultDivisorIndex;
}

void CJobOptions::SetSerialPortLocked(int index) {
  values_.serialPort = index;
  serialPortName_ = ComPortName(index);
}

// The indices from outside pass through the same checks as SetIntParam.
void CJobOptions::DeriveLocked() {
  SetDataRateLocked(values_.dataRate);
  SetDivisorLocked(values_.dataRateDivisor);
  SetSerialPortLocked(values_.serialPort);
}

int CJobOptions::GetIntParam(int id) const {
  std::lock_guard guard(lock_);
  if (id == OPTION_BAUD_RATE) return static_cast<int>(baudRate_);
  if (id == OPTION_DIVISOR_VALUE) return DivisorOfIndex(values_.dataRateDivisor);
  IntField field = IntFieldOfId(id);
  return field ? values_.*field : 0;
}

bool CJobOptions::SetIntParam(int id, int value) {
  std::lock_guard guard(lock_);
  switch (id) {
    case OPTION_SERIAL_PORT:
      SetSerialPortLocked(value);
      return true;
    case OPTION_DATA_RATE:
      SetDataRateLocked(value);
      return IndexInTable(value, kDataRateTable);
    case OPTION_DATA_RATE_DIVISOR:
      SetDivisorLocked(value);
      return IndexInTable(value, kDivisorTable);
    case OPTION_BAUD_RATE:
      baudRate_ = static_cast<std::uint32_t>(value);
      return true;
    default:
      break;
  }
  IntField field = IntFieldOfId(id);
  if (!field) return false;
  values_.*field = value;
  return true;
}

bool CJobOptions::GetStringParam(int id, std::string& out) const {
  std::lock_guard guard(lock_);
  if (id == OPTION_SERIAL_DEVICE_PATH) {
    out = "\\\\.\\" + serialPortName_;
    return true;
  }
  auto* field = StringFieldOfId(values_, id);
  if (!field) {
    out.clear();
    return false;
  }
  out = *field;
  return true;
}

std::string CJobOptions::GetStringParam(int id) const {
  std::string out;
  GetStringParam(id, out);
  return out;
}

bool CJobOptions::SetStringParam(int id, const std::string& value) {
  std::lock_guard guard(lock_);
  auto* field = StringFieldOfId(values_, id);
  if (!field) return false;
  *field = value;
  return true;
}

void CJobOptions::GetSectorList(SectorList& out) const {
  std::lock_guard guard(lock_);
  out = sectors_;
}

SectorList CJobOptions::GetSectorList() const {
  SectorList out;
  GetSectorList(out);
  return out;
}

void CJobOptions::SetSectorList(const SectorList& in) {
  std::lock_guard guard(lock_);
  sectors_ = in;
}

void CJobOptions::CopyParams(JobOptionValues& out) const {
  std::lock_guard guard(lock_);
  out = values_;
}

JobOptionValues CJobOptions::CopyParams() const {
  JobOptionValues out;
  CopyParams(out);
  return out;
}

void CJobOptions::SetAllParams(const JobOptionValues& values) {
  std::lock_guard guard(lock_);
  values_ = values;
  DeriveLocked();
}

int CJobOptions::ChipFamilyFromName() const {
  std::lock_guard guard(lock_);
  return ::ChipFamilyFromName(sectors_.processorName);
}
