// The boot loader link over RS232 against the simulated radio's boot
// loader on a pseudo-terminal: the ping by boot loader type, a silent
// loader, and the download with its progress reports.

#include "engine/link/boot_link.h"

#include <gtest/gtest.h>

#include <vector>

#include "radio_on_com.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using radiosim::BootLoaderType;

std::vector<BootProgress> reports;

void RecordProgress(void* context, const BootProgress* progress) {
  EXPECT_EQ(context, &reports);
  reports.push_back(*progress);
}

Bytes Image(std::size_t length) {
  Bytes image(length);
  for (std::size_t i = 0; i < length; ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 5);
  return image;
}

class BootLinkTest : public ::testing::Test {
 protected:
  void Serve(radiosim::RadioConfig config) {
    com_.reset();
    com_ = std::make_unique<RadioOnCom>(config);
    ASSERT_TRUE(com_->started());
    reports.clear();
  }
  std::unique_ptr<CBootLink> Open(std::uint32_t baudRate = 19200) {
    return std::make_unique<CBootLink>(0, RadioOnCom::PortPath(), baudRate, 0, "", &reports, &RecordProgress);
  }
  int PingResult(unsigned retries) {
    try {
      return Open()->Ping(retries);
    } catch (ISP_EXCEPTION e) {
      return -static_cast<int>(e) - 1;
    }
  }
  std::unique_ptr<RadioOnCom> com_;
};

TEST_F(BootLinkTest, PingTellsTheBootLoaderKind) {
  Serve({.bootLoader = BootLoaderType::Harrow});
  EXPECT_EQ(PingResult(3), 'Z');
  Serve({.bootLoader = BootLoaderType::Calder});
  EXPECT_EQ(PingResult(3), 'l');
}

TEST_F(BootLinkTest, AnswerOnTheThirdAttemptEndsThePing) {
  Serve({.bootLoader = BootLoaderType::Calder});
  com_->radio().AddFault({radiosim::FaultKind::Silence, 2});
  EXPECT_EQ(PingResult(3), 'l');
  EXPECT_EQ(com_->transcript().Count("fault silence"), 2u);
  EXPECT_EQ(com_->transcript().Count("boot ping answer"), 1u);
}

TEST_F(BootLinkTest, SilentBootLoaderFailsAfterTenAttemptsPerRun) {
  Serve({.bootLoader = BootLoaderType::Bisel});
  EXPECT_EQ(PingResult(1), -static_cast<int>(ISP_NO_BOOTLOADER_ACK) - 1);
  // The host gives up on the last ping without waiting for the radio to
  // take it in; the radio notes it a little later.
  EXPECT_TRUE(Eventually([&] { return com_->transcript().Count("boot ping unanswered") >= 20u; }));
  EXPECT_EQ(com_->transcript().Count("boot ping unanswered"), 20u);
}

TEST_F(BootLinkTest, DownloadSendsTheImageInChunksWithProgress) {
  Serve({.bootLoader = BootLoaderType::Harrow});
  const Bytes image = Image(2500);
  {
    auto link = Open();
    link->Download(1024, image.data(), image.size(), 0x00402000, 0, 19200, 3, 1);
  }
  ASSERT_TRUE(Eventually([&] { return com_->radio().Downloads().size() == 1; }));
  const auto download = com_->radio().Downloads()[0];
  EXPECT_TRUE(download.checksumOk);
  EXPECT_EQ(download.address, 0x00402000u);
  EXPECT_EQ(download.image, image);
  EXPECT_EQ(com_->radio().Mode(), radiosim::RadioMode::Kernel);

  struct Expected {
    std::uint32_t state, sent, total;
  };
  const Expected expected[] = {{0, 0, 2500}, {0, 0, 2500}, {0, 1024, 2500}, {0, 2500, 2500}, {1, 0, 0}};
  ASSERT_EQ(reports.size(), std::size(expected));
  for (std::size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(reports[i].state, expected[i].state) << i;
    EXPECT_EQ(reports[i].sent, expected[i].sent) << i;
    EXPECT_EQ(reports[i].total, expected[i].total) << i;
  }
}

TEST_F(BootLinkTest, FormatThreeCarriesA32BitLength) {
  Serve({.bootLoader = BootLoaderType::Calder});
  // Over 64 KiB: at the boot loader's own 19200 bit/s the line would take
  // 36 s, so the port runs faster (the radio here takes any rate).
  const Bytes image = Image(70000);
  Open(460800)->Download(1024, image.data(), image.size(), 0x10000, 0, 19200, 0, 3);
  ASSERT_TRUE(Eventually([&] { return com_->radio().Downloads().size() == 1; }));
  EXPECT_EQ(com_->radio().Downloads()[0].length, 70000u);
  EXPECT_TRUE(com_->radio().Downloads()[0].checksumOk);
}

TEST_F(BootLinkTest, ImageBeyondASixteenBitLengthIsNotSent) {
  Serve({.bootLoader = BootLoaderType::Harrow});
  const Bytes image = Image(0x10000);
  try {
    Open()->Download(1024, image.data(), image.size(), 0x10000, 0, 19200, 3, 1);
    ADD_FAILURE() << "no exception";
  } catch (ISP_EXCEPTION e) {
    EXPECT_EQ(e, ISP_MESSAGE_NOT_SUPPORTED);
  }
  EXPECT_EQ(com_->transcript().Count("rx "), 0u);
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(CBootLink::DownloadLengthFits(1, 0xFFFF, CHANNEL_SERIAL));
  EXPECT_FALSE(CBootLink::DownloadLengthFits(1, 0xFFFF, CHANNEL_USB_RAW));
  EXPECT_TRUE(CBootLink::DownloadLengthFits(2, 0xFFFF, CHANNEL_USB_RAW));
  EXPECT_TRUE(CBootLink::DownloadLengthFits(3, 0x10000, CHANNEL_SERIAL));
}

TEST(BootLinkKind, UnknownLinkModeIsRefused) {
  try {
    CBootLink link(5, "\\\\.\\COM1", 19200, 0, "", nullptr, nullptr);
    ADD_FAILURE() << "no exception";
  } catch (ISP_EXCEPTION e) {
    EXPECT_EQ(e, ISP_MESSAGE_NOT_SUPPORTED);
  }
}

}  // namespace
