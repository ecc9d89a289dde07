#pragma once
// A dropped file may be a shortcut to the file meant: on this system a
// symbolic link, which is followed to the file it names.

#include <string>

// The target of the link, or the path itself when it is no link (logged
// as "Unable to load the file name.").
std::string ExpandShortcut(const std::string& path);
