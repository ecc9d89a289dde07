// Opening the kernel link over RS232 against the simulated radio: every
// boot loader type with the chip families that reach it, at each working
// speed and divisor, in strict rate mode; then the errors.

#include <gtest/gtest.h>

#include <string>

#include "com_pointing_nowhere.h"
#include "kernel_fixture.h"

namespace {

using radiosim::BootLoaderType;
using radiosim::FaultKind;

struct Route {
  const char* name;
  BootLoaderType loader;
  int chipFamily;
  KernelImage image;
};

void PrintTo(const Route& c, std::ostream* os) { *os << c.name; }

const Route kRoutes[] = {
    {"UnknownChipHarrowLoader", BootLoaderType::Harrow, kChipUnknown, KernelImage::HarrowU},
    {"UnknownChipCalderLoader", BootLoaderType::Calder, kChipUnknown, KernelImage::Calder},
    {"UnknownChipSilentLoader", BootLoaderType::Bisel, kChipUnknown, KernelImage::Bisel},
    {"Harrow", BootLoaderType::Harrow, kChipHarrow, KernelImage::HarrowU},
    {"Bisel", BootLoaderType::Bisel, kChipBisel, KernelImage::Bisel},
    {"Calder", BootLoaderType::Calder, kChipCalder, KernelImage::Calder},
};

using Params = std::tuple<Route, int, int>;  // route, working speed, divisor

class OpenKernelLinkRs232 : public ::testing::TestWithParam<Params> {};

TEST_P(OpenKernelLinkRs232, BootsDownloadsAndMovesToTheWorkingSpeed) {
  const auto& [route, rate, divisor] = GetParam();
  RadioOnCom com({.bootLoader = route.loader, .divisor = static_cast<std::uint32_t>(divisor), .strictRate = true});
  ASSERT_TRUE(com.started());
  KernelImages images;
  EventRecorder recorder;
  CKernel kernel(SerialSettings(route.chipFamily, rate, divisor, images, recorder));

  ASSERT_EQ(kernel.OpenKernelLink(), 0);
  EXPECT_EQ(kernel.BaudRate(), rate);
  ASSERT_EQ(com.radio().Downloads().size(), 1u);
  EXPECT_EQ(com.radio().Downloads()[0].image, images.Of(route.image)) << KernelImageFileName(route.image);
  EXPECT_TRUE(com.radio().Downloads()[0].checksumOk);
  ASSERT_TRUE(Eventually([&, expected = static_cast<std::uint32_t>(rate)] { return com.radio().NominalRate() == expected; }));
  // The next channel of the operation opens at the working speed.
  EXPECT_EQ(kernel.ProbeKernel(), 1);
  // (Whether the first probe, sent at the working speed, is dropped depends
  // on when the simulator reads it: the pseudo-terminal shows the rate at
  // the time of reading. The simulator's own tests check strict-mode drops.)
}

INSTANTIATE_TEST_SUITE_P(AllRoutes, OpenKernelLinkRs232,
                         ::testing::Combine(::testing::ValuesIn(kRoutes), ::testing::Values(115200, 230400, 460800),
                                            ::testing::Values(1, 2, 4)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  std::to_string(std::get<1>(info.param)) + "_div" +
                                  std::to_string(std::get<2>(info.param));
                         });

class KernelLinkSerial : public ::testing::Test {
 protected:
  void Serve(radiosim::RadioConfig config, int chipFamily, int rate = 230400) {
    com_ = std::make_unique<RadioOnCom>(config);
    ASSERT_TRUE(com_->started());
    kernel_ = std::make_unique<CKernel>(SerialSettings(chipFamily, rate, 1, images_, recorder_));
  }
  std::vector<std::int32_t> Codes() const {
    std::vector<std::int32_t> codes;
    for (const auto& e : recorder_.Events()) codes.push_back(e.code);
    return codes;
  }

  KernelImages images_;
  EventRecorder recorder_;
  std::unique_ptr<RadioOnCom> com_;
  std::unique_ptr<CKernel> kernel_;
};

TEST_F(KernelLinkSerial, DownloadEventsArriveInOrderWithTheirByteCounts) {
  Serve({.bootLoader = BootLoaderType::Bisel}, kChipBisel);
  ASSERT_EQ(kernel_->StartCommCheck(kRunInline), 0);
  const auto events = recorder_.Events();
  struct Expected {
    std::int32_t code;
    std::int32_t done;
    std::int32_t total;
  };
  const Expected expected[] = {{7, 0, 2500}, {7, 0, 2500}, {7, 0, 2500}, {7, 1024, 2500},
                               {7, 2500, 2500}, {9, 0, 0}, {6, 0, 0}};
  ASSERT_EQ(events.size(), std::size(expected));
  for (std::size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].code, expected[i].code) << i;
    EXPECT_EQ(events[i].argument, expected[i].done) << i;
    EXPECT_EQ(events[i].total, expected[i].total) << i;
  }
}

TEST_F(KernelLinkSerial, RunningKernelIsNotBootedAgain) {
  Serve({.bootLoader = BootLoaderType::Harrow, .strictRate = true}, kChipHarrow);
  ASSERT_EQ(kernel_->OpenKernelLink(), 0);
  recorder_.Clear();
  // A later operation, even from a new device object, finds the kernel.
  CKernel again(SerialSettings(kChipHarrow, 230400, 1, images_, recorder_));
  EXPECT_EQ(again.StartCommCheck(kRunInline), 0);
  EXPECT_EQ(Codes(), std::vector<std::int32_t>{6});
  EXPECT_EQ(com_->radio().Downloads().size(), 1u);
  EXPECT_EQ(com_->transcript().Count("boot ping"), 1u);
}

struct FailureCase {
  const char* name;
  BootLoaderType loader;
  int chipFamily;
  radiosim::Fault fault;
  int expected;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class KernelLinkFailure : public KernelLinkSerial, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(KernelLinkFailure, GivesTheNamedError) {
  const auto& c = GetParam();
  Serve({.bootLoader = c.loader}, c.chipFamily);
  com_->radio().AddFault(c.fault);
  EXPECT_EQ(kernel_->StartCommCheck(kRunInline), c.expected);
  ASSERT_FALSE(recorder_.Events().empty());
  const auto closing = recorder_.Events().back();
  EXPECT_EQ(closing.code, EVENT_COMM_CHECK_FAILED);
  EXPECT_EQ(closing.argument, c.expected);
  // A failure always carries the error details.
  EXPECT_EQ(closing.details, &kernel_->GetErrorDetails());
  EXPECT_EQ(kernel_->BaudRate(), 230400);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, KernelLinkFailure,
    ::testing::Values(
        FailureCase{"SilentLoaderForHarrow", BootLoaderType::Harrow, kChipHarrow, {FaultKind::Silence, -1}, 19},
        FailureCase{"SilentLoaderForCalder", BootLoaderType::Calder, kChipCalder, {FaultKind::Silence, -1}, 20},
        FailureCase{"CalderLoaderForHarrow", BootLoaderType::Calder, kChipHarrow, {FaultKind::Nak, 1}, 19},
        FailureCase{"SilentRadioForBisel", BootLoaderType::Bisel, kChipBisel, {FaultKind::Silence, -1}, 18},
        FailureCase{"KernelNeverStarts", BootLoaderType::Harrow, kChipHarrow, {FaultKind::KernelNeverStarts, 1}, 18},
        // The speed switch is NAKed every time: the link failure passes on.
        FailureCase{"SpeedSwitchNaked", BootLoaderType::Harrow, kChipHarrow, {FaultKind::Nak, -1, 0x0500}, 47}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KernelLinkSerial, MissingImageAndUnknownProtocol) {
  Serve({.bootLoader = BootLoaderType::Harrow}, kChipHarrow);
  kernel_->SetKernelImage(0, nullptr, 0, 0);  // harrowkrnlu.s19
  EXPECT_EQ(kernel_->OpenKernelLink(), 5);
  EXPECT_EQ(kernel_->SetLinkMode(-1), 0);
  EXPECT_EQ(kernel_->OpenKernelLink(), 6);
  EXPECT_TRUE(com_->radio().Downloads().empty());
}

TEST_F(KernelLinkSerial, ImageTooLongForItsLengthFieldIsRefusedBeforeSending) {
  Serve({.bootLoader = BootLoaderType::Harrow}, kChipHarrow);
  std::vector<std::uint8_t> huge(0x10000, 0x5A);
  ASSERT_EQ(kernel_->SetKernelImage(0, huge.data(), static_cast<std::uint32_t>(huge.size()), 0x200000), 0);
  EXPECT_EQ(kernel_->OpenKernelLink(), 7);
  EXPECT_EQ(com_->transcript().Count("boot download"), 0u);
  EXPECT_EQ(Codes(), std::vector<std::int32_t>{});
}

// The kernel never takes the speed switch (its acknowledgement is lost):
// that operation fails, and the next one finds the kernel at its start
// rate, moves it to the working speed and goes on, without a boot loader.
TEST_F(KernelLinkSerial, ALostSpeedSwitchAcknowledgementDoesNotStrandTheRadio) {
  Serve({.bootLoader = BootLoaderType::Harrow, .strictRate = true}, kChipHarrow, 460800);
  com_->radio().AddFault({FaultKind::NoAck, 1, 0x0500});
  EXPECT_EQ(kernel_->StartCommCheck(kRunInline), 46);
  EXPECT_EQ(com_->radio().NominalRate(), 115200u);
  recorder_.Clear();
  EXPECT_EQ(kernel_->StartCommCheck(kRunInline), 0);
  EXPECT_EQ(Codes(), std::vector<std::int32_t>{6});
  EXPECT_TRUE(Eventually([&] { return com_->radio().NominalRate() == 460800u; }));
  EXPECT_EQ(com_->radio().Downloads().size(), 1u);
  EXPECT_EQ(com_->transcript().Count("boot ping"), 1u);
  EXPECT_EQ(kernel_->ProbeKernel(), 1);
}

std::string ChipFamilyName(int chipFamily) {
  static const char* const kNames[] = {"Unknown", "Harrow", "Bisel", "Calder"};
  return kNames[chipFamily];
}

class MissingComPort : public ::testing::TestWithParam<int> {};

// A port that does not open is the link failure "Error opening serial
// port" whatever the chip family; it is never taken for a radio that did
// not answer.
TEST_P(MissingComPort, IsErrorOpeningTheSerialPort) {
  ComPointingNowhere nowhere(RadioOnCom::kComNumber);
  ASSERT_TRUE(nowhere.ready());
  KernelImages images;
  EventRecorder recorder;
  CKernel kernel(SerialSettings(GetParam(), 230400, 1, images, recorder));
  EXPECT_EQ(kernel.StartCommCheck(kRunInline), 48);
  ASSERT_FALSE(recorder.Events().empty());
  EXPECT_EQ(recorder.Events().back().code, EVENT_COMM_CHECK_FAILED);
  EXPECT_EQ(recorder.Events().back().argument, 48);
}

INSTANTIATE_TEST_SUITE_P(ChipFamilies, MissingComPort,
                         ::testing::Values(kChipUnknown, kChipHarrow, kChipBisel, kChipCalder),
                         [](const auto& info) { return ChipFamilyName(info.param); });

TEST_F(KernelLinkSerial, StatusQueryDecodesTheKernelsErrorDetails) {
  Serve({.bootLoader = BootLoaderType::Harrow, .powerOn = radiosim::PowerOnState::Kernel}, kChipHarrow, 115200);
  com_->radio().SetStatusRegister(0x0201, {0x00, 0x89, 0x88, 0x20, 0x00, 0x00, 0x00, 0x00});
  CCommChannel channel(CHANNEL_SERIAL_BUS, RadioOnCom::PortPath(), 115200, 0, "");
  EXPECT_EQ(kernel_->QueryTargetStatus(channel), 25);
  EXPECT_EQ(kernel_->GetErrorDetails().manufacturerId, 0x0089);
  EXPECT_EQ(kernel_->GetErrorDetails().deviceId, 0x8820);
  com_->radio().AddFault({FaultKind::StatusUnavailable});
  EXPECT_EQ(kernel_->QueryTargetStatus(channel), 13);
}

struct StatusLinkCase {
  const char* name;
  FaultKind fault;
  ISP_EXCEPTION thrown;
};

void PrintTo(const StatusLinkCase& c, std::ostream* os) { *os << c.name; }

class StatusQueryLink : public KernelLinkSerial, public ::testing::WithParamInterface<StatusLinkCase> {};

TEST_P(StatusQueryLink, LinkFailuresPassOn) {
  Serve({.bootLoader = BootLoaderType::Harrow, .powerOn = radiosim::PowerOnState::Kernel}, kChipHarrow, 115200);
  com_->radio().AddFault({GetParam().fault, -1});
  CCommChannel channel(CHANNEL_SERIAL_BUS, RadioOnCom::PortPath(), 115200, 0, "");
  try {
    kernel_->QueryTargetStatus(channel);
    ADD_FAILURE() << "no exception";
  } catch (ISP_EXCEPTION e) {
    EXPECT_EQ(e, GetParam().thrown);
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, StatusQueryLink,
                         ::testing::Values(StatusLinkCase{"Nak", FaultKind::Nak, ISP_NAK_DETECTED},
                                           StatusLinkCase{"BadChecksum", FaultKind::BadChecksum, ISP_BAD_CHECKSUM},
                                           StatusLinkCase{"ZeroLength", FaultKind::ZeroLength,
                                                          ISP_MESSAGE_NOT_SUPPORTED},
                                           StatusLinkCase{"Overlong", FaultKind::OverlongLength,
                                                          ISP_MESSAGE_NOT_SUPPORTED},
                                           StatusLinkCase{"NoReply", FaultKind::NoReply, ISP_SERIAL_BUS_TIMEOUT}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
