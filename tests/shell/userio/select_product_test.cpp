#include <gtest/gtest.h>

#include "engine/prompt/prompt_service.h"
#include "shell/prompt/prompt_call.h"
#include "shell/userio/product_selection.h"
#include "user_io_fixture.h"

namespace shell_test {
namespace {

class SelectProductTest : public UserIoFixture {
 protected:
  void SetUp() override {
    WriteDefaultProduct();
    dir.Write("second.qlp", "product SECOND_TAG { processor Calder; }\n");
    Start();
    mainWindow.TakeAll();
  }
  void ChooseFile(const std::string& path) {
    prompts->SetDialogFiller([path](PromptCall& call) {
      if (auto* data = std::get_if<FileOpenDialogData>(&call.dialog)) data->chosenPath = path;
    });
  }
  void SelectByUser() { PostToTarget<WM_SELECT_PRODUCT>(PT_USER_IO, nullptr); }
  std::unique_ptr<ProductSelection> NextSelection() {
    auto m = mainWindow.Wait(WM_SELECT_PRODUCT);
    return m ? m->Take<WM_SELECT_PRODUCT>() : nullptr;
  }
  TempFolder elsewhere;
};

TEST_F(SelectProductTest, ARecordSelectsTheTagAndWritesTheConfiguration) {
  PostToTarget<WM_SELECT_PRODUCT>(PT_USER_IO, std::make_unique<ProductSelection>(ProductSelection{"second.qlp", "SECOND_TAG"}));
  Flush();
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_FILE), "second.qlp");
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_TAG), "SECOND_TAG");
  EXPECT_NE(dir.Read("Vexa20 Flash.cfg").find("flash_product_tag=SECOND_TAG\n"), std::string::npos);
  EXPECT_NE(LogText().find("Selecting new product tag 'SECOND_TAG'"), std::string::npos);
  EXPECT_EQ(WindowMessages(), std::vector<std::uint32_t>{WM_REBUILD_CUSTOM_MENU});
}

TEST_F(SelectProductTest, AnEmptyTagEmptiesTheSectorList) {
  ASSERT_FALSE(settings.GetSectorList().sectors.empty());
  PostToTarget<WM_SELECT_PRODUCT>(PT_USER_IO, std::make_unique<ProductSelection>(ProductSelection{"second.qlp", ""}));
  Flush();
  EXPECT_TRUE(settings.GetSectorList().sectors.empty());
}

TEST_F(SelectProductTest, AFileOfAnotherFolderIsCopiedInAsQlp) {
  elsewhere.Write("prod.txt", "product NEW_ONE { processor Harrow; }\n");
  ChooseFile(elsewhere.File("prod.txt"));
  prompts->Script(kAnswerOk);
  SelectByUser();
  auto selection = NextSelection();
  ASSERT_TRUE(selection);
  EXPECT_EQ(selection->productFile, "prod.qlp");
  EXPECT_EQ(selection->productTag, "NEW_ONE");
  Flush();
  EXPECT_EQ(dir.Read("prod.qlp"), elsewhere.Read("prod.txt"));
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_FILE), "prod.qlp");
  EXPECT_NE(LogText().find("Copying " + elsewhere.File("prod.txt") + " to the Quillon directory as prod.qlp."),
            std::string::npos);
  const auto shown = prompts->Prompts();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back().kind, kFileOpenPrompt);
  EXPECT_EQ(shown.back().text, "Choose a product file");
}

struct OverwriteCase {
  const char* name;
  int answer;
  const char* expectedFile;  // the file's contents afterwards
  const char* expectedTag;
  const char* expectedLog;
};

class OverwriteTable : public SelectProductTest, public ::testing::WithParamInterface<OverwriteCase> {};

TEST_P(OverwriteTable, AnsweringTheOverwriteBox) {
  elsewhere.Write("second.qlp", "product FROM_ELSEWHERE { }\n");
  ChooseFile(elsewhere.File("second.qlp"));
  prompts->Script(kAnswerOk);
  prompts->Script(GetParam().answer);
  SelectByUser();
  Flush();
  const auto shown = prompts->Prompts();
  ASSERT_GE(shown.size(), 2u);
  EXPECT_EQ(shown.back().text, "File already exists. Overwrite it?");
  // Yes/No/Cancel with No (keep the file there) the default, the buttons
  // named for what they do.
  EXPECT_EQ(shown.back().style, kStyleYesNoCancel | kIconQuestion | kStyleDefaultButton2);
  EXPECT_EQ(shown.back().firstButton, "&Overwrite");
  EXPECT_EQ(shown.back().secondButton, "&Keep Existing");
  EXPECT_EQ(dir.Read("second.qlp"), GetParam().expectedFile);
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_TAG), GetParam().expectedTag);
  if (*GetParam().expectedLog) {
    EXPECT_NE(LogText().find(GetParam().expectedLog), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, OverwriteTable,
    ::testing::Values(
        OverwriteCase{"YesCopies", kAnswerYes, "product FROM_ELSEWHERE { }\n", "FROM_ELSEWHERE", ""},
        OverwriteCase{"NoUsesTheExistingFile", kAnswerNo, "product SECOND_TAG { processor Calder; }\n", "SECOND_TAG",
                      "File 'second.qlp' already exists in the Quillon directory. Using the existing file."},
        OverwriteCase{"CancelChangesNothing", kAnswerCancel, "product SECOND_TAG { processor Calder; }\n", "Vexa_Series",
                      ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SelectProductTest, ChoosingTheFileItselfUsesIt) {
  ChooseFile(dir.File("second.qlp"));
  prompts->Script(kAnswerOk);
  SelectByUser();
  Flush();
  EXPECT_EQ(prompts->Prompts().size(), 1u);  // no overwrite box
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_TAG), "SECOND_TAG");
  EXPECT_NE(LogText().find("File 'second.qlp' already exists in the Quillon directory. Using the existing file."),
            std::string::npos);
}

TEST_F(SelectProductTest, CancellingTheFileDialogKeepsTheProduct) {
  prompts->Script(kAnswerCancel);
  SelectByUser();
  auto selection = NextSelection();
  ASSERT_TRUE(selection);
  EXPECT_EQ(selection->productFile, "Quor_Plover.qlp");
  EXPECT_EQ(selection->productTag, "Vexa_Series");
  Flush();
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_FILE), "Quor_Plover.qlp");
}

TEST_F(SelectProductTest, AnUnreadableSourceIsReportedAndNothingChanges) {
  ChooseFile(elsewhere.File("missing.txt"));
  prompts->Script(kAnswerOk);
  SelectByUser();
  Flush();
  const std::string log = LogText();
  EXPECT_NE(log.find("Error> Unable to copy " + elsewhere.File("missing.txt") + " to " + dir.File("missing.qlp") + "."),
            std::string::npos);
  EXPECT_NE(log.find("Error> An error occurred while selecting the new product file"), std::string::npos);
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_FILE), "Quor_Plover.qlp");
  ASSERT_TRUE(prompts->WaitForPrompts(2, std::chrono::seconds(20)));
  EXPECT_EQ(prompts->Prompts()[1].text, "Error> An error occurred while selecting the new product file");
}

// The kernel and update files beside a product file chosen elsewhere.
class CompanionFilesTest : public SelectProductTest {
 protected:
  void ChooseProductBesideCompanions() {
    elsewhere.Write("prod.qlp", "product NEW_ONE { processor Harrow; }\n");
    elsewhere.Write("calderkrnl.s19", "S0 calder\n");
    elsewhere.Write("biselkrnl.s19", "S0 bisel\n");
    elsewhere.Write("su.txt", "scrambled\n");
    ChooseFile(elsewhere.File("prod.qlp"));
    prompts->Script(kAnswerOk);
  }
  std::vector<CScriptedShellPromptService::Shown> Questions() {
    std::vector<CScriptedShellPromptService::Shown> boxes;
    for (const auto& call : prompts->Prompts()) {
      if (call.kind == kMessageBoxPrompt) boxes.push_back(call);
    }
    return boxes;
  }
  static bool Lists(const std::string& text, const std::string& name) {
    return text.find("    " + name + "\n") != std::string::npos;
  }
};

TEST_F(CompanionFilesTest, TheMissingFilesAreOfferedInOneQuestionAndCopied) {
  ChooseProductBesideCompanions();
  prompts->Script(kAnswerYes);
  SelectByUser();
  Flush();
  const auto questions = Questions();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].style, kStyleYesNo | kIconQuestion);
  for (const char* name : {"calderkrnl.s19", "biselkrnl.s19", "su.txt"}) {
    EXPECT_TRUE(Lists(questions[0].text, name)) << name;
    EXPECT_EQ(dir.Read(name), elsewhere.Read(name)) << name;
    EXPECT_NE(LogText().find("Copying " + elsewhere.File(name) + " to the Quillon directory as " + name + "."),
              std::string::npos);
  }
  EXPECT_FALSE(Lists(questions[0].text, "harrowkrnl.s19"));  // not beside the product file
  EXPECT_NE(questions[0].text.find("lie beside it in " + elsewhere.File("calderkrnl.s19").substr(0, elsewhere.Dir().size() - 1) + ":"), std::string::npos);
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_TAG), "NEW_ONE");
}

TEST_F(CompanionFilesTest, NoCopiesNothingButKeepsTheProduct) {
  ChooseProductBesideCompanions();
  prompts->Script(kAnswerNo);
  SelectByUser();
  Flush();
  EXPECT_EQ(Questions().size(), 1u);
  EXPECT_FALSE(dir.Exists("calderkrnl.s19"));
  EXPECT_EQ(settings.GetStringParam(OPTION_PRODUCT_FILE), "prod.qlp");
}

struct ReplaceCase {
  const char* name;
  bool scriptAnswer;  // false: the box gets the answer nobody gave
  int answer;
  const char* expected;
};

class ReplaceCompanionTable : public CompanionFilesTest, public ::testing::WithParamInterface<ReplaceCase> {};

TEST_P(ReplaceCompanionTable, AFileWithOtherContentsIsReplacedOnlyOnYes) {
  dir.Write("calderkrnl.s19", "S0 ours\n");
  dir.Write("biselkrnl.s19", "S0 bisel\n");  // the same contents: nothing to ask
  dir.Write("su.txt", "scrambled\n");
  ChooseProductBesideCompanions();
  if (GetParam().scriptAnswer) prompts->Script(GetParam().answer);
  SelectByUser();
  Flush();
  const auto questions = Questions();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_TRUE(Lists(questions[0].text, "calderkrnl.s19"));
  EXPECT_FALSE(Lists(questions[0].text, "biselkrnl.s19"));
  EXPECT_EQ(questions[0].style, kStyleYesNo | kIconExclamation | kStyleDefaultButton2);
  PromptCall asked;
  asked.style = questions[0].style;
  EXPECT_EQ(DefaultAnswerFor(asked), kAnswerNo);
  EXPECT_EQ(dir.Read("calderkrnl.s19"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Answers, ReplaceCompanionTable,
                         ::testing::Values(ReplaceCase{"YesReplaces", true, kAnswerYes, "S0 calder\n"},
                                           ReplaceCase{"NoKeeps", true, kAnswerNo, "S0 ours\n"},
                                           ReplaceCase{"NoAnswerKeeps", false, 0, "S0 ours\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CompanionFilesTest, AProductOfTheWorkingFolderAsksNothingMore) {
  dir.Write("calderkrnl.s19", "S0 calder\n");
  ChooseFile(dir.File("second.qlp"));
  prompts->Script(kAnswerOk);
  SelectByUser();
  Flush();
  EXPECT_TRUE(Questions().empty());
}

}  // namespace
}  // namespace shell_test
