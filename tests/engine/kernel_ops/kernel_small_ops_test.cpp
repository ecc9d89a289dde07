// Reset, magic key, custom command and target name against the simulated
// radio on a pseudo-terminal; the smartphone command lines against the
// smartphone simulator through the terminal library.

#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/core/region_list.h"
#include "engine/prompt/scripted_prompt_service.h"
#include "ops_fixture.h"
#include "platform/temp_folder.h"
#include "ralix/ralix.h"
#include "smartphone_sim/smartphone_server.h"

namespace {

using radiosim::Fault;
using radiosim::FaultKind;

TEST_F(KernelOpsSerial, ResetBootsTheKernelFirstThenSendsTheReset) {
  Serve({});
  EXPECT_EQ(kernel_->StartResetTarget(kRunInline), 0);
  const auto codes = CodesOf(recorder_.Events());
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.front(), EVENT_BOOTLOAD_PROGRESS);
  EXPECT_NE(std::find(codes.begin(), codes.end(), EVENT_BOOTLOAD_DONE), codes.end());
  EXPECT_EQ(codes.back(), EVENT_RESET_TARGET_DONE);
  EXPECT_EQ(radio_->radio().Downloads().size(), 1u);
  EXPECT_TRUE(Eventually([&] { return radio_->transcript().Count("radio reset") == 1; }));
  EXPECT_EQ(Requests().back(), "03 00");
}

TEST_F(KernelOpsSerial, MagicKeyIsProgrammedInTwoSteps) {
  ServeRunningKernel();
  const int result = kernel_->StartProgramMagicKey(kRunInline);
  // The simulated kernel may not know the magic key; either way both steps
  // go out only when the first is taken.
  if (result == 0) {
    EXPECT_EQ(Closing().code, EVENT_MAGIC_KEY_DONE);
    EXPECT_EQ(RequestsStartingWith("04 00"), 1u);
    EXPECT_EQ(RequestsStartingWith("04 01"), 1u);
  } else {
    EXPECT_EQ(result, 41);
    EXPECT_EQ(Closing().code, EVENT_MAGIC_KEY_FAILED);
  }
}

TEST_F(KernelOpsSerial, MagicKeyWhoseFirstStepFailsNeverSendsTheSecond) {
  ServeRunningKernel();
  radio_->radio().AddFault(Fault{FaultKind::ErrorStatus, 1, 0x0400});
  EXPECT_EQ(kernel_->StartProgramMagicKey(kRunInline), 41);
  const auto& closing = Closing();
  EXPECT_EQ(closing.code, EVENT_MAGIC_KEY_FAILED);
  EXPECT_EQ(closing.argument, 41);
  EXPECT_EQ(closing.details, &kernel_->GetErrorDetails());
  EXPECT_EQ(RequestsStartingWith("04 00"), 1u);
  EXPECT_EQ(RequestsStartingWith("04 01"), 0u);
}

TEST_F(KernelOpsSerial, TargetNameIsCutToTheCallersBuffer) {
  ServeRunningKernel();
  char name[64];
  std::memset(name, 'x', sizeof name);
  EXPECT_EQ(kernel_->GetTargetName(name, sizeof name), 0);
  EXPECT_STREQ(name, "VEXA20");
  char small[4];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(kernel_->GetTargetName(small, sizeof small), 0);
  EXPECT_STREQ(small, "VEX");
  EXPECT_EQ(kernel_->GetBusyState(), 0);
  EXPECT_TRUE(recorder_.Events().empty());  // no operation, no events
}

// The custom command record: request and reply buffer.
struct CustomRecord {
  explicit CustomRecord(std::vector<std::uint8_t> request, std::uint32_t flags, std::uint32_t replySize = 3072)
      : command(std::move(request)), reply(replySize, 0xEE) {
    list.Add(flags, static_cast<std::uint32_t>(command.size()), command.data());
    list.Add(flags, static_cast<std::uint32_t>(reply.size()), reply.data());
  }
  std::vector<std::uint8_t> command;
  std::vector<std::uint8_t> reply;
  CRegionList list;
};

class CustomCommand : public KernelOpsSerial {
 protected:
  void SetUp() override {
    prompts_ = std::make_shared<CScriptedPromptService>();
    previous_ = SetPromptService(prompts_);
  }
  void TearDown() override {
    SetPromptService(previous_);
    KernelOpsSerial::TearDown();
  }
  std::shared_ptr<CScriptedPromptService> prompts_;
  std::shared_ptr<IPromptService> previous_;
};

TEST_F(CustomCommand, TextReplyIsShownThroughThePromptBridge) {
  ServeRunningKernel();
  CustomRecord record({0x03, 0x04, 0x01}, 0);
  EXPECT_EQ(kernel_->StartCustomCommand(&record.list, kRunInline, "Read Model"), 0);
  EXPECT_EQ(Closing().code, EVENT_CUSTOM_COMMAND_DONE);
  const auto boxes = prompts_->Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  // The box says which command the value answers.
  EXPECT_EQ(boxes[0].text, "Reply of the radio to the custom command 'Read Model':\n\nVEXA20");
  EXPECT_EQ(boxes[0].buttons, kBoxOk);
  EXPECT_EQ(record.reply[0], 0x03);
  EXPECT_EQ(record.reply[1], 0x84);
}

TEST_F(CustomCommand, TextIsBoundedByTheReplyBuffer) {
  ServeRunningKernel();
  CustomRecord record({0x03, 0x04, 0x01}, 0, 7);  // room for 3 letters of the name
  EXPECT_EQ(kernel_->StartCustomCommand(&record.list, kRunInline), 0);
  EXPECT_EQ(std::string(record.reply.begin() + 4, record.reply.end()), "VEX");
  const auto boxes = prompts_->Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Reply of the radio to the custom command:\n\nVEX");
}

TEST_F(CustomCommand, NoReplyWantedIsDoneWithoutReadingOne) {
  ServeRunningKernel();
  CustomRecord record({0x03, 0x04, 0x01}, 1);
  EXPECT_EQ(kernel_->StartCustomCommand(&record.list, kRunInline), 0);
  EXPECT_EQ(Closing().code, EVENT_CUSTOM_COMMAND_DONE);
  EXPECT_TRUE(prompts_->Boxes().empty());
  EXPECT_EQ(record.reply, std::vector<std::uint8_t>(3072, 0xEE));
}

TEST_F(CustomCommand, RefusedRequestEndsWithTheDecodedKernelError) {
  ServeRunningKernel();
  CustomRecord record({0x09, 0x09}, 0);  // a group the kernel does not have
  const int result = kernel_->StartCustomCommand(&record.list, kRunInline);
  EXPECT_EQ(result, 21);  // unsupported function group
  EXPECT_EQ(Closing().code, EVENT_CUSTOM_COMMAND_FAILED);
  EXPECT_EQ(Closing().argument, 21);
  EXPECT_TRUE(prompts_->Boxes().empty());
}

TEST_F(CustomCommand, RecordWithoutRequestFails) {
  ServeRunningKernel();
  CRegionList empty;
  EXPECT_EQ(kernel_->StartCustomCommand(&empty, kRunInline), KERNEL_ERROR_UNKNOWN);
  EXPECT_EQ(Closing().code, EVENT_CUSTOM_COMMAND_FAILED);
  EXPECT_TRUE(Requests().empty());
}

TEST(PromptBridge, WithoutAServiceEveryBoxIsAnsweredOk) {
  const auto previous = SetPromptService(nullptr);
  EXPECT_EQ(AppMessageBox("anything"), kAnswerOk);
  auto scripted = std::make_shared<CScriptedPromptService>(kAnswerCancel);
  scripted->Script(kAnswerRetry);
  SetPromptService(scripted);
  EXPECT_EQ(AppMessageBox("first"), kAnswerRetry);
  EXPECT_EQ(AppMessageBox("second"), kAnswerCancel);
  ASSERT_EQ(scripted->Boxes().size(), 2u);
  EXPECT_EQ(scripted->Boxes()[1].text, "second");
  SetPromptService(previous);
}

class SmartphoneCommandLines : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::MakeTemporaryFolder("quillon-phone-");
    ASSERT_FALSE(folder_.empty());
    socket_ = folder_ + "/phone.sock";
    ASSERT_TRUE(phone_.Start(socket_));
    ::setenv(kRalixSocketVariable, socket_.c_str(), 1);
    KernelSettingsRecord settings;
    settings.device = DEVICE_SMARTPHONE;
    settings.callback = [this](const DeviceEvent& event) { return recorder_(event); };
    kernel_ = std::make_unique<CKernel>(settings);
  }
  void TearDown() override {
    Func356();
    phone_.Stop();
    ::unsetenv(kRalixSocketVariable);
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  static void Output(const char*) {}

  std::string folder_;
  std::string socket_;
  smartphone_sim::SmartphoneServer phone_;
  EventRecorder recorder_;
  std::unique_ptr<CKernel> kernel_;
};

TEST_F(SmartphoneCommandLines, FileLineReachesThePhoneAndReportsDone) {
  const std::string file = folder_ + "/a.bin";
  std::ofstream(file, std::ios::binary) << "phone image";
  std::string text;
  ASSERT_NE(Func095(&SmartphoneCommandLines::Output, 0x82000000ul, &text, 0), 0);
  EXPECT_EQ(kernel_->StartSmartphoneFile(file, kRunInline), 0);
  const auto events = recorder_.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, EVENT_PHONE_COMMAND_SENT);
  EXPECT_TRUE(Eventually([&] {
    const auto lines = phone_.Session().Transcript();
    return !lines.empty() && lines.back() == "l \"" + file + "\"";
  }));
  EXPECT_TRUE(Eventually([&] { return phone_.Session().Files().size() == 1; }));
}

TEST_F(SmartphoneCommandLines, RefusedLineFailsWithTheRalixError) {
  // Not connected: the library takes no line.
  EXPECT_EQ(kernel_->StartSmartphoneFile("a.bin", kRunInline), 2);
  const auto events = recorder_.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, EVENT_PHONE_SEND_FAILED);
  EXPECT_EQ(events[0].argument, 2);
}

TEST_F(SmartphoneCommandLines, FormatReportsNoEvent) {
  std::string text;
  ASSERT_NE(Func095(&SmartphoneCommandLines::Output, 0x82000000ul, &text, 0), 0);
  EXPECT_EQ(kernel_->StartSmartphoneFormat(kRunInline), 0);
  EXPECT_TRUE(recorder_.Events().empty());
  EXPECT_TRUE(Eventually([&] {
    const auto lines = phone_.Session().Transcript();
    return !lines.empty() && lines.back() == "format 1";
  }));
  Func356();
  EXPECT_EQ(kernel_->StartSmartphoneFormat(kRunInline), 2);
  EXPECT_TRUE(recorder_.Events().empty());
}

}  // namespace
