#pragma once
// A reply to a remote-control client is exactly one line: the client reads
// line by line, so a line break inside a reply would put it out of step.
// Texts made for boxes break sentences into lines (". " became CR LF); a
// reply gives such a break back as ". ", and any other carriage return or
// line feed becomes a blank.

#include <string>

std::string RemoteReplyLine(const std::string& text);
