#pragma once
// The program's release, as the About box (R02.00) and the package name it.

inline constexpr const char* kProgramVersion = "2.00";
