#pragma once
// Helpers of the small kernel operations that need no radio.

#include <cstddef>
#include <cstdint>
#include <string>

// The zero-terminated text that starts at `offset` of the reply, cut at
// the reply's end when no zero byte comes first; empty when the reply is
// shorter than the offset.
std::string TerminatedText(const std::uint8_t* reply, std::size_t replyLength, std::size_t offset);

// True for a custom command's text reply: bytes 0, 1 and 3 are 03 84 03.
bool IsTextReply(const std::uint8_t* reply, std::size_t replyLength);

// The box that shows a custom command's text reply: it names the command
// (the custom-menu item's label, when known) and gives the value below.
std::string CustomReplyBoxText(const std::string& label, const std::string& reply);
