#pragma once
// Every file dialog of the program and the one way its filter reaches the
// toolkit. A filter is written the program's way, pairs of "name|patterns"
// ending in "||" ("Image files (*.s19;*.bin)|*.s19;*.bin|All Files (*.*)|*.*||");
// the toolkit wants one name filter per pair with its patterns in
// parentheses, separated by spaces ("Image files (*.s19 *.bin)"), and "*"
// for every file.

#include <array>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kSRecordFilter = "S-record files (*.s)|*.s|All Files (*.*)|*.*||";
inline constexpr const char* kScriptFilter = "Quillon script files (*.qls)|*.qls|All Files (*.*)|*.*||";
// The radio's loader reads S-records only: its dialogs offer nothing else
// (a smartphone's .bin has its own dialog and filter).
inline constexpr const char* kImageFileFilter = "S-record images (*.s19)|*.s19|All Files (*.*)|*.*||";
inline constexpr const char* kDataFileFilter = "Data files (*.bin)|*.bin|All Files (*.*)|*.*||";
inline constexpr const char* kRamDumpFilter = "Ram dump files (*.ram)|*.ram|All Files (*.*)|*.*||";
inline constexpr const char* kProductFileFilter = "Quillon Product files (*.qlp)|*.qlp|All files|*.*||";
inline constexpr const char* kFlashpackFileFilter = "FlashPack files (*.s19)|*.s19|All Files (*.*)|*.*||";
inline constexpr const char* kReadBackFileFilter = "S-record files (*.s19)|*.s19|All Files (*.*)|*.*||";

// Every filter that a file dialog of the program is opened with.
inline constexpr std::array kProgramFileFilters{kSRecordFilter,   kScriptFilter,      kImageFileFilter,
                                                kDataFileFilter,  kRamDumpFilter,     kProductFileFilter,
                                                kFlashpackFileFilter, kReadBackFileFilter};

// The filter as the toolkit's name filters, one per pair:
// "A (*.x;*.y)|*.x;*.y|All Files (*.*)|*.*||" gives {"A (*.x *.y)", "All Files (*)"}.
std::vector<std::string> ToolkitNameFilters(std::string_view filter);
