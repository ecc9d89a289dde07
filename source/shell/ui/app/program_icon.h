#pragma once
// The program's icon (a radio with a flash arrow), built into the program as
// a Qt resource. The application carries it, so every window and dialog
// shows it; the main window and the dialogs of the prompt kinds also set it
// themselves, so they carry it wherever they are made.

#include <QIcon>

QIcon ProgramIcon();
