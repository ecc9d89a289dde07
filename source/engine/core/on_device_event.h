#pragma once
// The callback that the core thread installs in every device object. It
// runs on the device object's worker thread, several at a time, and turns
// each event into a message to the core thread (PT_CORE): it only allocates
// records, releases registry buffers and posts.

#include "engine/core/device_event.h"

// Codes above 51 (and below 0) are ignored. Returns 0 always: the core thread
// never asks a device object to abort through its callback.
int OnDeviceEvent(const DeviceEvent& event);
