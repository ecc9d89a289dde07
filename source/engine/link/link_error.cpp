#include "engine/link/link_error.h"

#include "engine/core/kernel_error_code.h"

namespace {

struct LinkErrorRange {
  int first;
  int last;
  int firstMessage;
};

constexpr LinkErrorRange kLinkErrorRanges[] = {
    {0, 17, 46},
    {18, 19, 72},
    {20, 27, 64},
    {28, 28, 74},
};

}  // namespace

int LinkErrorToMessage(int linkError) {
  for (const auto& r : kLinkErrorRanges)
    if (linkError >= r.first && linkError <= r.last) return r.firstMessage + (linkError - r.first);
  return KERNEL_ERROR_UNKNOWN;
}
