#pragma once
// The error-report prompt: shows the online-help window and opens the
// error-report page whose address the prompt carries.

class CQtPromptService;
class COnlineHelpDlg;

void RegisterErrorReportAction(CQtPromptService& service, COnlineHelpDlg& helpWindow);
