#pragma once
// Stand-in for the outside smartphone terminal library: a terminal link to a
// smartphone. Here the phone is the smartphone simulator, reached on the
// Unix-domain socket that QUILLON_RALIX_SOCKET names.
//
// After a successful connect the library hands the phone's terminal output
// to the callback one character at a time, on a thread of its own; a piece
// that is exactly ">" is the prompt that ends a command. While a command
// runs it posts WM_RALIX_PERCENT (0x464) with the percentage in wParam to
// the window given at connect.

#include <cstdint>
#include <string>

// The functions this library exports; everything else in it is hidden.
#ifndef RALIX_EXPORT
#if defined(__GNUC__)
#define RALIX_EXPORT __attribute__((visibility("default")))
#else
#define RALIX_EXPORT
#endif
#endif

extern "C" {

typedef void (*RalixOutputCallback)(const char* text);

// Connects; nonzero when connected. flags and text are taken as they come.
RALIX_EXPORT int Func095(RalixOutputCallback callback, unsigned long flags, std::string* text, std::uint32_t window);
// Sends one command line; 1 when the phone took it.
RALIX_EXPORT int Func789(const char* line, unsigned long length);
// Disconnects; nonzero when disconnected.
RALIX_EXPORT int Func356();
}

// The environment variable that names the phone's socket.
inline constexpr const char* kRalixSocketVariable = "QUILLON_RALIX_SOCKET";
// The progress message posted to the window.
inline constexpr std::uint32_t kRalixPercentMessage = 0x464;
