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

const ErrorText* FindError(int value) {
  for (const auto& entry : kCodeplugErrorTexts) {
    if (entry.value == value) return &entry;
  }
  return nullptr;
}

}  // namespace

const char* CodeplugErrorText(int value) {
  const ErrorText* entry = FindError(value);
  return entry != nullptr ? entry->text : "Undefined codeplug exception";
}

bool IsCodeplugError(int value) { return FindError(value) != nullptr; }
