#pragma once
// The log text of a Windows Sockets error number, as the remote-control
// server and the file transfers log it.

#include <string>

// One table row per known number; any other gives
// "Error> socket: unknown socket failure".
std::string SocketErrorText(int code);
