#pragma once
// Writes an element tree back out as XML text.

#include <cstddef>
#include <string>

#include "shell/xml/xml_node.h"

// Format -1 writes without layout; 0 or more lays the text out with tabs,
// starting at that depth, one element or text per line. A root without a
// name writes only its content. The text's length is computed by a first
// pass that writes nothing, then the text is written in a second pass into
// exactly that much room. The empty node gives an empty text and length 0.
std::string CreateXmlString(const CXmlNode& node, int format, std::size_t* length = nullptr);
