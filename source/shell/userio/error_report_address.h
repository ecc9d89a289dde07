#pragma once
// The address of the error-report page, with the error text as its "error"
// parameter.

#include <optional>
#include <string>

// The error-report page, a fixed address built into the program.
inline constexpr const char* kErrorReportPage = "http://support.quillon.invalid/error_report.html";

// The text as the page's parameter: carriage returns are dropped, a blank
// becomes "+", and every character other than letters, digits and "-_.~"
// is percent-encoded (a line feed as "%0a", a tab as "%09"), so "&", "#",
// "%" and "+" in the text cannot break the address.
std::string EncodeErrorReportText(const std::string& text);

// "page?error=<encoded text>", or the page alone without a text.
std::string ErrorReportAddress(const std::optional<std::string>& errorText, const std::string& page = kErrorReportPage);
