// vexaload: the flashing program.
#include "shell/ui/app/flash_app.h"

int main(int argc, char** argv) {
  CFlashApp app;
  return app.Run(argc, argv);
}
