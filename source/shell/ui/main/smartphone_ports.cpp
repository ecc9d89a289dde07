#include "shell/ui/main/smartphone_ports.h"

// The radio protocol library's smartphone list is not part of the program
// yet; until it is, no port is known to carry a smartphone, so every
// smartphone attached shows as unsupported.
std::vector<int> SmartphoneUsbPorts() { return {}; }
