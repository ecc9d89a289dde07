#pragma once
// Cutting one script or remote-control line into tokens. Token 0 is the
// command word, the rest are its arguments.
//
// Only the blank separates tokens (a tab inside a word keeps it one token).
// A double quote opens a quoted token only at the start of a token; the
// token then runs to the next double quote and keeps its inner blanks. Every
// token loses its leading and trailing white space; "" gives an empty token.

#include <string>
#include <vector>

using ScriptTokens = std::vector<std::string>;

// Appends the tokens of the line to the list. A quote that is never closed
// logs "Error> missing double quote in script file" and raises the script
// error; the tokens before it stay in the list.
void SplitScriptLine(const std::string& line, ScriptTokens& tokens);

// The text without leading and trailing white space (blank, tab, line
// feed, carriage return, vertical tab, form feed).
std::string TrimScriptText(const std::string& text);
