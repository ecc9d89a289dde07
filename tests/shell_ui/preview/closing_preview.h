#pragma once
// Pictures of the main window while work runs: the question its close
// button asks, and the window made wider (the rows and the status line
// stretch with it).

#include <QString>

class CFlashDlg;

// Shoots main_window_close_question.png and main_window_wide.png into the
// folder; the window is left as it was. False when a picture failed.
bool SaveClosingAndWideShots(CFlashDlg& window, const QString& folder);
