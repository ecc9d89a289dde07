#include "shell/preproc/shell_prompt_dialogs.h"

#include <gtest/gtest.h>

#include "engine/core/app_settings.h"
#include "shell/prompt/scripted_prompt_service.h"

namespace {

TEST(ShellPromptDialogs, FileDialogsAndTheOverwriteBoxGoThroughThePromptService) {
  GetAppSettings().SetAppString(APP_STRING_WINDOW_TITLE, "Bench 2");
  auto service = std::make_shared<CScriptedShellPromptService>(std::vector<int>{1, 1, 2, 7});
  service->SetDialogFiller([](PromptCall& call) {
    if (auto* file = std::get_if<FileOpenDialogData>(&call.dialog)) {
      file->chosenPath = call.kind == kFileSavePrompt ? "/dumps/today" : "/scripts/run.qls";
    }
  });
  CShellPromptDialogs dialogs(service);

  EXPECT_EQ(dialogs.OpenFile({"qls", "", "Quillon script files (*.qls)|*.qls||", "", false}), "/scripts/run.qls");
  EXPECT_EQ(dialogs.SaveFile({"ram", "*.ram", "Ram dump files (*.ram)|*.ram||", "Save ram dump as ...", true}),
            "/dumps/today.ram");
  EXPECT_EQ(dialogs.OpenFile({"s", "", "", "", false}), std::nullopt);
  EXPECT_EQ(dialogs.AskYesNoCancel("File already exists. Overwrite it?", kOverwriteOrKeepButtons), 7);

  const auto shown = service->Prompts();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].kind, kFileOpenPrompt);
  EXPECT_EQ(shown[1].kind, kFileSavePrompt);
  EXPECT_EQ(shown[1].text, "Save ram dump as ...");
  EXPECT_EQ(shown[3].kind, kMessageBoxPrompt);
  EXPECT_EQ(shown[3].caption, "Bench 2");
  EXPECT_EQ(shown[3].text, "File already exists. Overwrite it?");
  // The question's text stays; its buttons say what they do, and No (keep
  // the file) is the default.
  EXPECT_EQ(shown[3].style, kStyleYesNoCancel | kIconQuestion | kStyleDefaultButton2);
  EXPECT_EQ(shown[3].firstButton, "&Overwrite");
  EXPECT_EQ(shown[3].secondButton, "&Keep Existing");
  GetAppSettings().SetAppString(APP_STRING_WINDOW_TITLE, kDefaultWindowTitle);
}

TEST(ShellPromptDialogs, WithoutAServiceEveryDialogIsCancelled) {
  auto previous = SetShellPromptService(nullptr);
  CShellPromptDialogs dialogs;
  EXPECT_EQ(dialogs.OpenFile({"s", "", "", "", false}), std::nullopt);
  EXPECT_EQ(dialogs.AskYesNoCancel("File already exists. Overwrite it?", kOverwriteOrKeepButtons), 2);
  SetShellPromptService(previous);
}

}  // namespace
