// The link layer's exception texts.

#include "engine/link/isp_exception.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(CommErrorText, EveryValueHasItsOwnText) {
  std::set<std::string> texts;
  for (int v = 0; v < kIspExceptionCount; ++v) {
    const std::string text = CommErrorText(v);
    EXPECT_NE(text, "Undefined communication exception") << v;
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), static_cast<std::size_t>(kIspExceptionCount));
}

TEST(CommErrorText, TextsAtTheEdgesOfTheTable) {
  EXPECT_STREQ(CommErrorText(ISP_SERIAL_BUS_TIMEOUT), "Serial bus reply timeout");
  EXPECT_STREQ(CommErrorText(ISP_ACK_TIMEOUT), "Timeout waiting for ACK/NAK from target device");
  EXPECT_STREQ(CommErrorText(ISP_NO_BOOTLOADER_ACK), "Did not receive ack from bootloader");
  EXPECT_STREQ(CommErrorText(ISP_USB_NO_CSR_SPACE), "USB operation failed. No free space to allocate for CSR");
  EXPECT_STREQ(CommErrorText(ISP_USB_UNKNOWN_ERROR), "Unknown USB error");
  for (int v : {-1, 29, 1000}) EXPECT_STREQ(CommErrorText(v), "Undefined communication exception") << v;
}

}  // namespace
