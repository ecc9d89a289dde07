#include "shell/app/early_switches.h"

#include <cstdlib>

#include "shell/app/program_version.h"

const char* const kProgramUsage =
    "usage: vexaload [-id NAME] [-remote_address ADDR] [-user_folder]\n"
    "       vexaload --help | -h | /?\n"
    "       vexaload --version\n"
    "\n"
    "Loads firmware into Vexa two-way radios, their GPS chips and smartphones,\n"
    "from its window, from script files or from a remote client over TCP.\n"
    "\n"
    "  -id NAME              the window title, and the name of the files NAME.cfg\n"
    "                        and NAME.log (default: Vexa20 Flash)\n"
    "  -remote_address ADDR  the remote-control port listens on this local address\n"
    "                        only (default: on every address)\n"
    "  -user_folder          work in ~/Quillon, made when missing (the desktop\n"
    "                        menu starts the program so)\n"
    "  --help, -h, /?        print this text and exit\n"
    "  --version             print the version and exit\n"
    "Switches may also begin with '/' (/id NAME); other switches are ignored.\n"
    "\n"
    "Working folder: the folder that is current when the program starts, or\n"
    "~/Quillon with -user_folder. It holds NAME.cfg and NAME.log, the product\n"
    "files (.qlp), the kernel files (calderkrnl.s19, harrowkrnl.s19,\n"
    "harrowkrnlu.s19, biselkrnl.s19), the custom-menu files (.xml) and the\n"
    "images to flash. The program must be able to write there, and one program\n"
    "at a time works with one NAME in a folder.\n"
    "\n"
    "Environment:\n"
    "  QUILLON_COM_DIR          the folder of the COMn links (default /dev/quillon)\n"
    "  QUILLON_USB_DRIVER       the folder of the USB driver library\n"
    "  QUILLON_PST_TRACE=stderr traces the USB driver library's calls\n"
    "  QUILLON_PWL_TRACE=stderr traces the USB communication library's calls\n"
    "  QUILLON_SERIAL_TRACE=stderr traces what the serial ports' drivers refuse\n"
    "  QUILLON_RALIX_SOCKET     the simulated smartphone's socket (phonesim)\n"
    "  QT_QPA_PLATFORM=offscreen runs the program without a display, for\n"
    "                           remote control; no box is shown then: its text\n"
    "                           goes to standard error and the log, and it\n"
    "                           takes its safe answer (OK, No or Cancel)\n"
    "The manual page vexaload(1) lists every variable the program reads.\n";

namespace {

bool IsHelpSwitch(const std::string& argument) {
  return argument == "--help" || argument == "-h" || argument == "/?";
}

// Qt takes the window system from -platform (also written --platform).
bool NamesPlatform(const std::string& argument) { return argument == "-platform" || argument == "--platform"; }

}  // namespace

std::string ProgramVersionLine() { return std::string("vexaload (Quillon) ") + kProgramVersion + "\n"; }

std::string ProcessEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::optional<EarlyAnswer> AnswerEarlySwitches(const std::vector<std::string>& arguments,
                                               const EnvironmentLookup& environment) {
  bool platformGiven = false;
  for (const std::string& argument : arguments) {
    if (IsHelpSwitch(argument)) return EarlyAnswer{0, kProgramUsage, {}};
    if (argument == "--version") return EarlyAnswer{0, ProgramVersionLine(), {}};
    if (NamesPlatform(argument)) platformGiven = true;
  }
  const bool hasDisplay = !environment("DISPLAY").empty() || !environment("WAYLAND_DISPLAY").empty() ||
                          !environment("QT_QPA_PLATFORM").empty() || platformGiven;
  if (hasDisplay) return std::nullopt;
  return EarlyAnswer{1, {},
                     "vexaload: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                     "QT_QPA_PLATFORM=offscreen runs it headless, for remote control\n"};
}
