#pragma once
// The one smartphone slot (device 146), driven through the smartphone
// terminal library: the connection flag, the connect that a smartphone job
// starts with, the disconnect request that the core thread sends to the
// pre-processing thread, and the output callback that learns from the
// phone's terminal output when a command has ended and whether it failed.
//
// Each connect opens a new connection generation. The disconnect request
// carries the generation it was meant for (wParam of WM_RALIX_DISCONNECT),
// and RalixDisconnect leaves a newer connection alone, so a disconnect that
// is still queued when the next smartphone job connects cannot cut that
// job's link.

#include <cstdint>
#include <string>

// Connects the library when no connection stands; logs "Smartphone> Ralix
// Connection succeeded" or "... failed". Core thread.
void RalixConnect();
bool RalixConnected();
// Clears the connection flag and posts WM_RALIX_DISCONNECT with the current
// generation to the pre-processing thread. Core thread.
void RalixRequestDisconnect();
// For the pre-processing thread's WM_RALIX_DISCONNECT: disconnects the
// library when the generation is still the current one and no newer
// connection has been made; true when the library is disconnected (or a
// newer connection stands and is left alone).
bool RalixDisconnect(std::uintptr_t generation);

// The library's output callback: one piece of terminal output.
void OnRalixOutput(const char* text);
// Clears the line buffer, the failure flag and the match positions.
void ResetRalixOutputState();
