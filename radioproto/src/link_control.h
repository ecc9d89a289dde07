#pragma once
// Opening and closing the links of a slot, by link type.

#include <cstdint>
#include <string>

#include "gantrel/gantrel.h"

namespace gantrel {

// Opens a serial link of any serial type on the path and starts its threads;
// 0 or a code. The slot's lock is not held.
int OpenSerialTypes(std::uint16_t id, std::uint32_t connectWord, const std::string& path,
                    const ConnectParams& params, bool sync, bool usbInterface);
int OpenUdp(std::uint16_t id, std::uint32_t connectWord, const UdpConnectParams& params, bool sync);
int OpenBdm(std::uint16_t id, std::uint32_t connectWord);
// Closes whatever link the slot has: readers joined before the port closes.
int CloseLink(std::uint16_t id);
// Starts the USB port watcher of a slot whose bus type is nonzero.
void StartWatcher(std::uint16_t id);

}  // namespace gantrel
