#pragma once
// The custom-menu loader as the user-I/O thread calls it: from the working
// directory of the shared settings, with log lines posted to the user-I/O
// thread.

#include <functional>

class CAppSettings;

std::function<void()> MakeCustomMenuLoader(const CAppSettings& settings);
