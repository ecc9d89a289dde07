// vexaload: the flashing program.
#include "shell/ui/app/flash_app.h"
#include "shell/ui/main/flash_main_dialog.h"

int main(int argc, char** argv) {
  RegisterFlashMainDialog();
  CFlashApp app;
  return app.Run(argc, argv);
}
