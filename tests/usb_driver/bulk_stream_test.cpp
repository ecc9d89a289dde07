// The bulk IN pipe as a byte stream over scripted endpoint transfers: whole
// packets are asked for, bytes beyond a read are kept for the next, short
// and zero-length packets do not end a read that wants more, and a time-out
// or an unplugged device ends it with what arrived.

#include <libusb.h>

#include <deque>

#include <gtest/gtest.h>

#include "bulk_stream.h"

namespace usbdrivertest {
namespace {

using usb_driver::BulkInStream;
using usb_driver::RequestSize;

// What the endpoint answers, request by request.
struct Answer {
  std::vector<std::uint8_t> bytes;
  int result = LIBUSB_SUCCESS;
};

class ScriptedEndpoint {
 public:
  explicit ScriptedEndpoint(std::deque<Answer> answers) : answers_(std::move(answers)) {}

  usb_driver::InTransfer Transfer() {
    return [this](std::uint8_t* data, std::uint32_t capacity, std::uint32_t& got, unsigned timeoutMs) {
      requests.push_back(capacity);
      limits.push_back(timeoutMs);
      if (answers_.empty()) {
        got = 0;
        return static_cast<int>(LIBUSB_ERROR_TIMEOUT);
      }
      Answer answer = std::move(answers_.front());
      answers_.pop_front();
      // A device never sends more than was asked for.
      got = static_cast<std::uint32_t>(std::min<std::size_t>(answer.bytes.size(), capacity));
      std::copy_n(answer.bytes.begin(), got, data);
      return answer.result;
    };
  }

  std::vector<std::uint32_t> requests;
  std::vector<unsigned> limits;

 private:
  std::deque<Answer> answers_;
};

std::vector<std::uint8_t> Bytes(std::uint8_t first, std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

TEST(BulkRequests, AreWholePacketsUpToTheLargestRequest) {
  struct Case {
    std::uint32_t need;
    std::uint16_t packet;
    std::uint32_t request;
  };
  const Case cases[] = {
      {1, 64, 64},     {64, 64, 64},    {65, 64, 128},   {2, 512, 512},
      {100000, 512, 16384}, {16385, 64, 16384}, {3, 0, 64}, {0, 64, 64},
  };
  for (const auto& c : cases) EXPECT_EQ(RequestSize(c.need, c.packet), c.request) << c.need << "/" << c.packet;
}

TEST(BulkStream, KeepsWhatArrivedBeyondAShortRead) {
  // A two-byte length header and its message arrive in one packet.
  ScriptedEndpoint endpoint({{Bytes(1, 20)}});
  BulkInStream stream(64);
  std::uint8_t header[2] = {};
  auto outcome = stream.Read(header, 2, 1000, endpoint.Transfer());
  EXPECT_EQ(outcome.moved, 2u);
  EXPECT_EQ(outcome.result, LIBUSB_SUCCESS);
  EXPECT_EQ(header[1], 2);
  EXPECT_EQ(endpoint.requests, std::vector<std::uint32_t>{64});
  EXPECT_EQ(stream.Kept(), 18u);
  std::uint8_t body[18] = {};
  outcome = stream.Read(body, 18, 1000, endpoint.Transfer());
  EXPECT_EQ(outcome.moved, 18u);
  EXPECT_EQ(body[0], 3);
  EXPECT_EQ(body[17], 20);
  EXPECT_EQ(endpoint.requests.size(), 1u);  // served from what was kept
}

TEST(BulkStream, WaitsPastShortAndZeroLengthPacketsForTheRest) {
  ScriptedEndpoint endpoint({{Bytes(1, 10)}, {{}}, {Bytes(11, 54)}});
  BulkInStream stream(64);
  std::uint8_t in[64] = {};
  const auto outcome = stream.Read(in, 64, 1000, endpoint.Transfer());
  EXPECT_EQ(outcome.moved, 64u);
  EXPECT_EQ(in[63], 64);
  EXPECT_EQ(endpoint.requests, (std::vector<std::uint32_t>{64, 64, 64}));
}

TEST(BulkStream, ATimeOutEndsTheReadWithWhatArrived) {
  ScriptedEndpoint endpoint({{Bytes(1, 5)}, {Bytes(6, 3), LIBUSB_ERROR_TIMEOUT}});
  BulkInStream stream(64);
  std::uint8_t in[16] = {};
  const auto outcome = stream.Read(in, 16, 200, endpoint.Transfer());
  EXPECT_EQ(outcome.result, LIBUSB_ERROR_TIMEOUT);
  EXPECT_EQ(outcome.moved, 8u);
  EXPECT_EQ(in[7], 8);
  // Every request is limited by what is left of the time-out.
  for (unsigned limit : endpoint.limits) {
    EXPECT_GE(limit, 1u);
    EXPECT_LE(limit, 200u);
  }
}

TEST(BulkStream, AnUnpluggedDeviceEndsTheReadAtOnce) {
  ScriptedEndpoint endpoint({{Bytes(1, 4)}, {{}, LIBUSB_ERROR_NO_DEVICE}, {Bytes(1, 64)}});
  BulkInStream stream(64);
  std::uint8_t in[32] = {};
  const auto outcome = stream.Read(in, 32, usb_driver::kWaitForever, endpoint.Transfer());
  EXPECT_EQ(outcome.result, LIBUSB_ERROR_NO_DEVICE);
  EXPECT_EQ(outcome.moved, 4u);
  EXPECT_EQ(endpoint.requests.size(), 2u);
  // Without a limit libusb is asked to wait without one.
  EXPECT_EQ(endpoint.limits, (std::vector<unsigned>{0, 0}));
}

TEST(BulkStream, ATimeOutOfZeroStillAsksOnce) {
  ScriptedEndpoint endpoint({{Bytes(1, 3)}});
  BulkInStream stream(512);
  std::uint8_t in[8] = {};
  const auto outcome = stream.Read(in, 8, 0, endpoint.Transfer());
  EXPECT_EQ(outcome.moved, 3u);
  EXPECT_EQ(endpoint.requests, std::vector<std::uint32_t>{512});
}

}  // namespace
}  // namespace usbdrivertest
