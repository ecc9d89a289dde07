#pragma once
// The application object: the program's start-up and end.

class CFlashApp {
 public:
  // Ignores the broken-pipe signal, creates the QApplication, takes the
  // window title from the command line, installs the prompt service (the
  // scripted one when QUILLON_PROMPTS is set, else the Qt one), runs the
  // main dialog and, once it has ended, answers every open prompt and joins
  // the worker threads before Qt goes. Returns the process's exit code.
  int Run(int argc, char** argv);
};
