#include "engine/images/image_kind.h"

#include <cstring>

#include "engine/images/allocation_lookup.h"

namespace {

struct KindRule {
  const char* prefix;
  ImageKind kind;
  int flashpackFlag;
};

constexpr KindRule kKindRules[] = {
    {"FlashPack", ImageKind::FlashPack, 1},
    {"ThemePack", ImageKind::ThemePack, 1},
    {"CSD", ImageKind::Csd, 0},
};

}  // namespace

ImageKind ImageKindOfHeader(const std::uint8_t* data, std::uint32_t length) {
  for (const auto& rule : kKindRules) {
    const std::size_t size = std::strlen(rule.prefix);
    if (length >= size && std::memcmp(data, rule.prefix, size) == 0) return rule.kind;
  }
  return ImageKind::Plain;
}

bool IsRelocatedKind(ImageKind kind) { return kind != ImageKind::Plain; }

std::string TargetAllocation(ImageKind kind, const SectorList& sectors) {
  switch (kind) {
    case ImageKind::FlashPack: return "FLASHPACK";
    case ImageKind::ThemePack: return AllocationSize("THEMEPACK", sectors) > 0 ? "THEMEPACK" : "FLASHPACK";
    case ImageKind::Csd: return "CSD";
    case ImageKind::Plain: break;
  }
  return {};
}

int FlashpackFlag(ImageKind kind) {
  for (const auto& rule : kKindRules) {
    if (rule.kind == kind) return rule.flashpackFlag;
  }
  return 0;
}
