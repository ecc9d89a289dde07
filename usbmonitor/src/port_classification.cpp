#include "port_classification.h"

namespace kovrin {
namespace {

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

struct Rule {
  const char* first;
  const char* second;  // null: the first text alone decides
  std::uint8_t kind;
  bool counted;
};

constexpr Rule kRules[] = {
    {"Corvane", "Modem", kUsbKindModem, true},
    {"Corvane", "Q9t", kUsbKindPhoneInterface, true},
    {"Corvane Quor Interface", nullptr, kUsbKindPhoneInterface, false},
    {"Corvane Flash Interface", nullptr, kUsbKindPhoneInterface, true},
    {"Corvane", "Smartphone", kUsbKindSmartphone, true},
};

}  // namespace

PortClass ClassifyDescription(const std::string& description, bool composite) {
  for (const auto& rule : kRules) {
    if (Has(description, rule.first) && (!rule.second || Has(description, rule.second)))
      return PortClass{true, rule.kind, rule.counted};
  }
  if (composite || Has(description, "Composite Device") ||
      (Has(description, "Corvane") && Has(description, "Composite")))
    return PortClass{true, kUsbKindComposite, true};
  return PortClass{};
}

}  // namespace kovrin
