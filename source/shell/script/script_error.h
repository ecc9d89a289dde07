#pragma once
// How a script command fails: it logs its own "Error> " line (posted to the
// user-I/O thread, which writes the log) and then raises the application's
// exception, which unwinds every script level up to the request that
// started the run.

#include <string>

// Logs the line and raises QUILLON_ERROR.
[[noreturn]] void FailScript(const std::string& line);
