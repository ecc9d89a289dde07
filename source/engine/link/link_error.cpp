#include "engine/link/link_error.h"

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
constexpr int kUnknownError = 1;

}  // namespace

int LinkErrorToMessage(int linkError) {
  for (const auto& r : kLinkErrorRanges)
    if (linkError >= r.first && linkError <= r.last) return r.firstMessage + (linkError - r.first);
  return kUnknownError;
}
