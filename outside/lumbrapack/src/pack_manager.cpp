#include "lumbrapack/pack_manager.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

using namespace lumbrapack;

constexpr unsigned char kPackSignature[4] = {'L', 'P', 'A', 'K'};
constexpr unsigned char kSetSignature[4] = {'L', 'P', 'K', 'S'};
constexpr std::uint8_t kHeaderVersion = 1;
constexpr std::uint16_t kFormatVersion = 1;
constexpr std::uint8_t kSetLayoutVersion = 1;
constexpr unsigned long kPackHeaderSize = 132;
constexpr unsigned long kSetHeaderSize = 12;
constexpr unsigned long kNameOffset = 32;
constexpr unsigned long kNameSize = 100;

std::uint16_t Get16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
std::uint32_t Get32(const unsigned char* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
void Put16(unsigned char* p, std::uint16_t v) { p[0] = v >> 8; p[1] = v & 0xFF; }
void Put32(unsigned char* p, std::uint32_t v) {
  p[0] = v >> 24; p[1] = (v >> 16) & 0xFF; p[2] = (v >> 8) & 0xFF; p[3] = v & 0xFF;
}

std::uint32_t Crc32(const unsigned char* data, std::size_t length) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < length; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

// Checks one pack at data (available bytes); gives its size or a result < 0.
long CheckPack(const unsigned char* data, unsigned long available) {
  if (data == nullptr) return kPackNoFile;
  if (available < 4 || std::memcmp(data, kPackSignature, 4) != 0) return kPackUnknownSignature;
  if (available < kPackHeaderSize) return kPackTruncated;
  if (data[4] != kHeaderVersion) return kPackHeaderVersion;
  if (Get16(data + 6) != kFormatVersion) return kPackVersionMismatch;
  const std::uint32_t payload = Get32(data + 24);
  if (payload > available - kPackHeaderSize) return kPackTruncated;
  if (Crc32(data + kPackHeaderSize, payload) != Get32(data + 28)) return kPackBadChecksum;
  return static_cast<long>(kPackHeaderSize + payload);
}

bool SamePack(const std::vector<unsigned char>& a, const unsigned char* b) {
  return a[5] == b[5] && std::memcmp(a.data() + kNameOffset, b + kNameOffset, kNameSize) == 0;
}

}  // namespace

std::vector<unsigned char> lumbrapack::BuildPackFile(const PackFileFields& fields,
                                                     const std::vector<unsigned char>& payload) {
  std::vector<unsigned char> file(kPackHeaderSize + payload.size(), 0);
  std::memcpy(file.data(), kPackSignature, 4);
  file[4] = kHeaderVersion;
  file[5] = fields.type;
  Put16(file.data() + 6, kFormatVersion);
  for (int i = 0; i < 4; ++i) Put16(file.data() + 8 + 2 * i, fields.version[i]);
  file[16] = static_cast<unsigned char>(fields.buildLetter);
  for (int i = 0; i < 3; ++i) Put16(file.data() + 18 + 2 * i, fields.build[i]);
  Put32(file.data() + 24, static_cast<std::uint32_t>(payload.size()));
  Put32(file.data() + 28, Crc32(payload.data(), payload.size()));
  for (std::size_t i = 0; i < fields.name.size() && i < kNameSize / 2; ++i)
    Put16(file.data() + kNameOffset + 2 * i, fields.name[i]);
  std::copy(payload.begin(), payload.end(), file.begin() + kPackHeaderSize);
  return file;
}

CPackManager::CPackManager(const unsigned char* data, unsigned long length, char, unsigned long,
                           unsigned long, unsigned long, bool) {
  m_totalMemory = static_cast<std::uint32_t>(length);
  if (data != nullptr) ParsePartition(data, length);
  m_packCount = static_cast<std::uint16_t>(packs_.size());
}

CPackManager::~CPackManager() = default;

void CPackManager::ParsePartition(const unsigned char* data, unsigned long length) {
  if (length < kSetHeaderSize || std::memcmp(data, kSetSignature, 4) != 0 || data[4] != kSetLayoutVersion)
    return;
  const unsigned count = Get16(data + 6);
  const unsigned long used = std::min<unsigned long>(Get32(data + 8), length);
  unsigned long offset = kSetHeaderSize;
  for (unsigned i = 0; i < count && offset < used; ++i) {
    const long size = CheckPack(data + offset, used - offset);
    if (size < 0) break;
    packs_.emplace_back(data + offset, data + offset + size);
    offset += static_cast<unsigned long>(size);
  }
}

unsigned long CPackManager::ImageSizeLocked() const {
  unsigned long size = kSetHeaderSize;
  for (const auto& p : packs_) size += p.size();
  return size;
}

unsigned long CPackManager::FreeMemory() {
  std::lock_guard lock(mutex_);
  const unsigned long used = ImageSizeLocked();
  return used >= m_totalMemory ? 0 : m_totalMemory - used;
}

int CPackManager::AddPack(const unsigned char* buffer, unsigned long length) {
  std::lock_guard lock(mutex_);
  if (buffer == nullptr) return kPackNoFile;
  unsigned long available = length;
  if (available == 0) {
    // The caller vouches for the header's length.
    if (std::memcmp(buffer, kPackSignature, 4) != 0) return kPackUnknownSignature;
    available = kPackHeaderSize + Get32(buffer + 24);
  }
  const long size = CheckPack(buffer, available);
  if (size < 0) return static_cast<int>(size);
  for (const auto& p : packs_)
    if (SamePack(p, buffer)) return kPackExists;
  if (ImageSizeLocked() + static_cast<unsigned long>(size) > m_totalMemory) return kPackNoSpace;
  packs_.emplace_back(buffer, buffer + size);
  m_packCount = static_cast<std::uint16_t>(packs_.size());
  return kPackOk;
}

int CPackManager::RemovePack(std::uint16_t index) {
  std::lock_guard lock(mutex_);
  if (index == 0 || index > packs_.size()) return kPackBadIndex;
  packs_.erase(packs_.begin() + (index - 1));
  m_packCount = static_cast<std::uint16_t>(packs_.size());
  return kPackOk;
}

int CPackManager::PackInfo(std::uint16_t index, PackRecord* record) {
  std::lock_guard lock(mutex_);
  if (index == 0 || index > packs_.size() || record == nullptr) return kPackBadIndex;
  const auto& p = packs_[index - 1];
  std::memcpy(record->name, p.data() + kNameOffset, kNameSize);
  record->type = p[5];
  for (int i = 0; i < 4; ++i) record->version[i] = Get16(p.data() + 8 + 2 * i);
  record->buildLetter = static_cast<char>(p[16]);
  for (int i = 0; i < 3; ++i) record->build[i] = Get16(p.data() + 18 + 2 * i);
  record->size = static_cast<std::uint32_t>(p.size());
  return kPackOk;
}

unsigned long CPackManager::ImageSize() {
  std::lock_guard lock(mutex_);
  return ImageSizeLocked();
}

int CPackManager::WriteImage(unsigned char* buffer, unsigned long length) {
  std::lock_guard lock(mutex_);
  if (buffer == nullptr) return kPackNoFile;
  const unsigned long size = ImageSizeLocked();
  if (length < size) return kPackNoSpace;
  std::memcpy(buffer, kSetSignature, 4);
  buffer[4] = kSetLayoutVersion;
  buffer[5] = 0;
  Put16(buffer + 6, static_cast<std::uint16_t>(packs_.size()));
  Put32(buffer + 8, static_cast<std::uint32_t>(size));
  unsigned long offset = kSetHeaderSize;
  for (const auto& p : packs_) {
    std::memcpy(buffer + offset, p.data(), p.size());
    offset += p.size();
  }
  std::fill(buffer + offset, buffer + length, 0xFF);
  return kPackOk;
}
