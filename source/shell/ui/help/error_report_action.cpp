#include "shell/ui/help/error_report_action.h"

#include <QPointer>
#include <QUrl>

#include "shell/ui/help/online_help_window.h"
#include "shell/ui/prompt/qt_prompt_service.h"
#include "shell/userio/prompt_kind.h"

void RegisterErrorReportAction(CQtPromptService& service, COnlineHelpDlg& helpWindow) {
  QPointer<COnlineHelpDlg> window = &helpWindow;
  service.RegisterAction(PROMPT_ERROR_REPORT, [window](PromptCall& call) {
    if (window) {
      window->ShowWindow();
      window->Navigate(QUrl(QString::fromStdString(call.text)));
    }
    return 0;
  });
}
