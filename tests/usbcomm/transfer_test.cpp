// Data transfers: pieces of the maximum bulk size, zero-length packets,
// time-outs and the command pipe, checked against the driver's call log.

#include <memory>
#include <numeric>

#include "device_process.h"
#include "pellwick_fixture.h"

namespace usbtest {
namespace {

constexpr uint16_t kDevice = 4;

class TransferTest : public PellwickTest {
 protected:
  // A device with a raw device process; the library open and the device
  // selected by a channel application.
  void OpenDevice(int maxBulk, int16_t epSize, const std::string& interfaces = "Corvane_Flash") {
    QuorSim_SetMaxBulkSize(maxBulk);
    app_ = OpenLibrary();
    process_ = std::make_unique<DeviceProcess>("ATTACH " + std::to_string(kDevice) + " " + interfaces + " " +
                                               std::to_string(epSize) + " " + std::to_string(epSize));
    ASSERT_TRUE(process_->Attached()) << process_->Answer();
    ASSERT_EQ(ListFlash(app_), PWL_RC_SUCCESS);
    channel_ = OpenChannel(kDevice);
    QuorSim_ClearCallLog();
  }

  int Write(uint32_t length, uint32_t* sent = nullptr) {
    std::vector<uint8_t> data(length);
    std::iota(data.begin(), data.end(), 0);
    uint32_t n = length;
    int rc = PWLWriteDataEx(static_cast<uint16_t>(channel_), PWL_INTERFACE_FLASH, kDevice, data.data(), &n, 2000);
    if (sent) *sent = n;
    return rc;
  }

  int Read(int wanted, int timeoutMs, std::vector<uint8_t>* out = nullptr) {
    std::vector<uint8_t> buffer(static_cast<std::size_t>(wanted) + 1);
    int n = wanted;
    int rc = PWLReadDataEx(static_cast<uint16_t>(channel_), PWL_INTERFACE_FLASH, kDevice, buffer.data(), &n,
                           static_cast<uint32_t>(timeoutMs));
    buffer.resize(static_cast<std::size_t>(n));
    if (out) *out = buffer;
    return rc;
  }

  int16_t app_ = -1;
  int16_t channel_ = -1;
  std::unique_ptr<DeviceProcess> process_;
};

struct WriteCase {
  const char* name;
  int maxBulk;
  int16_t epSize;
  int protocol;
  uint32_t length;
  std::vector<uint32_t> pieces;
};

TEST_F(TransferTest, WritesAreCutIntoPiecesAndClosedByZeroLengthPackets) {
  const WriteCase cases[] = {
      {"exactly M is one piece", 64, 64, 0, 64, {64}},
      {"M + 1 is two pieces", 64, 64, 0, 65, {64, 1}},
      {"several full pieces and a rest", 100, 64, 0, 250, {100, 100, 50}},
      {"protocol 0 never sends a zero-length packet", 4096, 64, 0, 128, {128}},
      {"protocol 5 closes a whole packet", 4096, 64, 5, 64, {64, 0}},
      {"protocol 5 leaves a part packet", 4096, 64, 5, 65, {65}},
      {"protocol 6 closes whole packets after pieces", 64, 32, 6, 128, {64, 64, 0}},
      {"protocol 6 last piece not whole", 64, 32, 6, 130, {64, 64, 2}},
      {"zero-length write on protocol 5 is followed by another", 4096, 64, 5, 0, {0, 0}},
      {"zero-length write on protocol 0 is one call", 4096, 64, 0, 0, {0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    OpenDevice(c.maxBulk, c.epSize);
    ASSERT_EQ(PWLSetCommunicationProtocol(static_cast<uint16_t>(channel_), c.protocol), PWL_RC_SUCCESS);
    uint32_t sent = 0;
    EXPECT_EQ(Write(c.length, &sent), PWL_RC_SUCCESS);
    EXPECT_EQ(sent, c.length);
    EXPECT_EQ(RequestedLengths("Quor_PSTWriteData"), c.pieces);
    auto received = process_->Receive(c.length);
    EXPECT_EQ(received.size(), c.length);
    for (std::size_t i = 0; i < received.size(); ++i) ASSERT_EQ(received[i], static_cast<uint8_t>(i));
  }
}

struct ReadCase {
  const char* name;
  int protocol;
  int wanted;
  std::size_t available;
  int result;
  std::vector<uint32_t> calls;
};

TEST_F(TransferTest, ReadsAreClosedByAZeroLengthReadOnlyWhenComplete) {
  const ReadCase cases[] = {
      {"protocol 6, whole packet", 6, 64, 64, PWL_RC_SUCCESS, {64, 0}},
      {"protocol 5, two whole packets", 5, 128, 128, PWL_RC_SUCCESS, {128, 0}},
      {"protocol 6, short read", 6, 128, 64, PWL_RC_READ_SHORT, {128}},
      {"protocol 6, part packet", 6, 65, 65, PWL_RC_SUCCESS, {65}},
      {"protocol 0, whole packet", 0, 64, 64, PWL_RC_SUCCESS, {64}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    OpenDevice(4096, 64);
    ASSERT_EQ(PWLSetCommunicationProtocol(static_cast<uint16_t>(channel_), c.protocol), PWL_RC_SUCCESS);
    std::vector<uint8_t> bytes(c.available, 0x5A);
    ASSERT_TRUE(process_->Send(bytes));
    std::vector<uint8_t> got;
    EXPECT_EQ(Read(c.wanted, 300, &got), c.result);
    EXPECT_EQ(got.size(), c.available);
    EXPECT_EQ(RequestedLengths("Quor_PSTReadData"), c.calls);
    auto calls = CallsOf("Quor_PSTReadData");
    if (calls.size() == 2) {
      EXPECT_EQ(calls[1].timeoutMs, 100u) << "the zero-length read waits 100 ms";
    }
  }
}

TEST_F(TransferTest, EchoRoundTripMovesEveryByte) {
  OpenDevice(256, 64);
  EchoPeer unused(20, "Corvane_Flash");  // another device does not disturb this one
  std::vector<uint8_t> data(1000);
  std::iota(data.begin(), data.end(), 7);
  uint32_t n = static_cast<uint32_t>(data.size());
  ASSERT_EQ(PWLWriteDataEx(static_cast<uint16_t>(channel_), PWL_INTERFACE_FLASH, kDevice, data.data(), &n, 2000),
            PWL_RC_SUCCESS);
  auto at = process_->Receive(data.size());
  ASSERT_EQ(at, data);
  ASSERT_TRUE(process_->Send(at));
  std::vector<uint8_t> back;
  EXPECT_EQ(Read(static_cast<int>(data.size()), 2000, &back), PWL_RC_SUCCESS);
  EXPECT_EQ(back, data);
}

TEST_F(TransferTest, ReadTimeOutsReportWhatCame) {
  OpenDevice(4096, 64);
  std::vector<uint8_t> got;
  EXPECT_EQ(Read(10, 50, &got), PWL_RC_READ_TIMEOUT);
  EXPECT_TRUE(got.empty());
  ASSERT_TRUE(process_->Send({1, 2, 3}));
  EXPECT_EQ(Read(10, 50, &got), PWL_RC_READ_SHORT);
  EXPECT_EQ(got, (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(TransferTest, APieceThatMovesNothingEndsTheWrite) {
  OpenDevice(64, 64);
  QuorSim_ForceStatus("Quor_PSTWriteData", 0, -1);
  uint32_t sent = 99;
  EXPECT_EQ(Write(200, &sent), PWL_RC_TRANSFER_FAILED);
  EXPECT_EQ(sent, 0u);
  EXPECT_EQ(QuorSim_CountCalls("Quor_PSTWriteData"), 1);
  QuorSim_ClearCallLog();
  EXPECT_EQ(Write(10, &sent), PWL_RC_TRANSFER_FAILED);
  EXPECT_EQ(QuorSim_CountCalls("Quor_PSTWriteData"), 1);
}

TEST_F(TransferTest, AFailingPieceStopsTheWriteAndReportsWhatWasSent) {
  OpenDevice(64, 64);
  QuorSim_ForceStatus("Quor_PSTWriteData", 8, -1);
  uint32_t sent = 99;
  EXPECT_EQ(Write(200, &sent), PWL_RC_WRITE_TIMEOUT);
  EXPECT_EQ(sent, 0u);
  EXPECT_EQ(QuorSim_CountCalls("Quor_PSTWriteData"), 1);
}

TEST_F(TransferTest, ALostDeviceProcessFailsTheTransfer) {
  OpenDevice(4096, 64);
  process_->Close();
  ASSERT_TRUE(Eventually([] { return !QuorSim_IsPlugged(kDevice); }));
  EXPECT_EQ(Write(10), PWL_RC_NO_DEVICE);
  EXPECT_EQ(Read(10, 50), PWL_RC_NO_DEVICE);
}

TEST_F(TransferTest, TransferChecksComeInTheirOrder) {
  OpenDevice(4096, 64);
  uint8_t buffer[16] = {};
  int n = 4;
  uint32_t un = 4;
  EXPECT_EQ(PWLReadDataEx(static_cast<uint16_t>(channel_), "", 127, buffer, &n, 10), PWL_RC_BAD_DEVICE_ID);
  EXPECT_EQ(PWLWriteDataEx(static_cast<uint16_t>(channel_), "", 127, buffer, &un, 10), PWL_RC_BAD_DEVICE_ID);
  EXPECT_EQ(PWLReadDataEx(PWL_MAX_APPS, "", kDevice, buffer, &n, 10), PWL_RC_BAD_APP_INDEX);
  // A device whose interface nobody asked for has no handle.
  EXPECT_EQ(PWLReadDataEx(static_cast<uint16_t>(channel_), "", 9, buffer, &n, 10), PWL_RC_NOT_OPENED);
  EXPECT_EQ(PWLWriteQ9TCommandEx(0, 9, buffer, &un, 10), PWL_RC_NOT_OPENED);
  // An application without a selected device has none either.
  EXPECT_EQ(PWLReadData(app_, buffer, &n, 10), PWL_RC_BAD_DEVICE_ID);
  EXPECT_EQ(PWLReadData(PWL_MAX_APPS, buffer, &n, 10), PWL_RC_BAD_APP_INDEX);
}

TEST_F(TransferTest, SlotTransfersUseTheSelectedDevice) {
  OpenDevice(4096, 64);
  uint8_t data[5] = {9, 8, 7, 6, 5};
  uint32_t n = sizeof data;
  EXPECT_EQ(PWLWriteData(static_cast<uint16_t>(channel_), data, &n, 1000), PWL_RC_SUCCESS);
  EXPECT_EQ(process_->Receive(5), std::vector<uint8_t>(data, data + 5));
  ASSERT_TRUE(process_->Send({1, 2}));
  uint8_t back[2] = {};
  int m = 2;
  EXPECT_EQ(PWLReadData(static_cast<uint16_t>(channel_), back, &m, 1000), PWL_RC_SUCCESS);
  EXPECT_EQ(m, 2);
  EXPECT_EQ(back[1], 2);
}

TEST_F(TransferTest, CommandPipeCarriesTheHeaderAndTheReply) {
  OpenDevice(4096, 64);
  const uint8_t header[8] = {0xC0, 1, 2, 3, 4, 5, 6, 7};
  const uint8_t reply[4] = {0xAA, 0xBB, 0xCC, 0xDD};
  ASSERT_EQ(QuorSim_QueueCommandReply(kDevice, reply, sizeof reply), 0);
  uint8_t destination[16];
  uint32_t length = sizeof destination;
  EXPECT_EQ(PWLReadQ9TCommand(static_cast<uint16_t>(channel_), header, destination, &length, 500), PWL_RC_SUCCESS);
  ASSERT_EQ(length, 12u);
  EXPECT_EQ(destination[0], 0xC0);
  EXPECT_EQ(destination[8], 0xAA);
  EXPECT_EQ(destination[11], 0xDD);
  EXPECT_EQ(CallsOf("Quor_PSTReadData").back().pipe, 4);

  uint32_t written = 8;
  EXPECT_EQ(PWLWriteQ9TCommandEx(0, kDevice, header, &written, 500), PWL_RC_SUCCESS);
  EXPECT_EQ(written, 8u);
  EXPECT_EQ(CallsOf("Quor_PSTWriteData").back().pipe, 4);

  length = sizeof destination;
  EXPECT_EQ(PWLReadQ9TCommandEx(0, kDevice, header, destination, &length, 50), PWL_RC_READ_TIMEOUT);
}

TEST_F(TransferTest, ACommandReadWithoutRoomForItsHeaderIsRefused) {
  OpenDevice(4096, 64);
  const uint8_t header[8] = {};
  uint8_t destination[8];
  uint32_t length = 7;
  EXPECT_EQ(PWLReadQ9TCommand(static_cast<uint16_t>(channel_), header, destination, &length, 50), PWL_RC_FAILURE);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(QuorSim_CountCalls("Quor_PSTReadData"), 0);
}

}  // namespace
}  // namespace usbtest
