#include "engine/images/brecord_error.h"

namespace {

struct ErrorText {
  int value;
  const char* text;
};

constexpr ErrorText kBRecordErrorTexts[] = {
    {BREC_MODE_NOT_SUPPORTED, "File mode not supported"},
    {BREC_OPEN_ERROR, "Error opening file"},
    {BREC_CLOSE_ERROR, "Error closing file"},
    {BREC_READ_ERROR, "Error reading file"},
    {BREC_END_OF_FILE, "End of file encountered"},
    {BREC_INVALID_CHECKSUM, "Invalid checksum detected"},
};

}  // namespace

const char* BRecordErrorText(int value) {
  for (const auto& entry : kBRecordErrorTexts) {
    if (entry.value == value) return entry.text;
  }
  return "Undefined B-record exception";
}
