#pragma once
// A question for the user-I/O thread, posted with WM_QUERY by the script
// interpreter. The user-I/O thread answers every query with WM_QUERY_REPLY to
// the reply target; its payload is the answer as a std::string when an
// answer was wanted, else the reply carries no payload.

#include <cstdint>
#include <string>

enum QueryKind : std::int32_t {
  QUERY_DIRECTORY = 0,
  QUERY_LIST_FILES = 1,
  QUERY_LIST_PRODUCT_TAGS = 2,
  QUERY_FLASH_DETAILS = 3,
  QUERY_DELETE = 4,
  QUERY_STATUS = 5,
};

inline constexpr std::int32_t kQueryKindCount = 6;

struct QueryRequest {
  std::int32_t kind = QUERY_STATUS;
  std::int32_t replyTarget = 0;  // PostTarget that receives WM_QUERY_REPLY
  std::int32_t wantReply = 0;    // 1: the reply carries the answer text
  std::string argument;          // the query's argument (may be empty)
};
