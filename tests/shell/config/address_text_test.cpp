// Addresses as users type them into the read-back dialogs: what counts as
// a number and what is refused instead of being read as 0.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "shell/config/decimal_text.h"

namespace {

struct AddressCase {
  const char* text;
  std::optional<std::uint32_t> value;
};

class AddressText : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressText, ReadsWholeNumbersOnly) {
  EXPECT_EQ(ParseAddressText(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddressText,
    ::testing::Values(AddressCase{"0x00000000", 0u}, AddressCase{"0x1000", 0x1000u}, AddressCase{"0XfFfF", 0xFFFFu},
                      AddressCase{"65535", 65535u}, AddressCase{"0", 0u}, AddressCase{"010", 8u},
                      AddressCase{"  0x20  ", 0x20u}, AddressCase{"0xFFFFFFFF", 0xFFFFFFFFu},
                      AddressCase{"zzz", std::nullopt}, AddressCase{"", std::nullopt}, AddressCase{"   ", std::nullopt},
                      AddressCase{"0x", std::nullopt}, AddressCase{"12ab", std::nullopt},
                      AddressCase{"0x12G", std::nullopt}, AddressCase{"09", std::nullopt},
                      AddressCase{"-4", std::nullopt}, AddressCase{"1 2", std::nullopt},
                      AddressCase{"0x100000000", std::nullopt}, AddressCase{"4294967296", std::nullopt}));

}  // namespace
