#include "engine/images/codeplug_error.h"

namespace {

struct ErrorText {
  int value;
  const char* text;
};

constexpr ErrorText kCodeplugErrorTexts[] = {
    {CP_UNIT_HEADER_NOT_FOUND, "Codeplug unit header not found"},
    {CP_SEARCH_RANGE_EXCEEDED, "Codeplug unit header search range exceeded"},
    {CP_DATA_POINTER_OUT_OF_RANGE, "Codeplug unit data pointer out of range"},
    {CP_READ_OUT_OF_RANGE, "Codeplug read out of range"},
    {CP_WRITE_OUT_OF_RANGE, "Codeplug write out of range"},
    {CP_UNIT_NUMBER_NOT_FOUND, "Codeplug unit #1 id not found"},
};

}  // namespace

const char* CodeplugErrorText(int value) {
  for (const auto& entry : kCodeplugErrorTexts) {
    if (entry.value == value) return entry.text;
  }
  return "Undefined codeplug exception";
}
