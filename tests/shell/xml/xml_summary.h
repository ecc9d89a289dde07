#pragma once
// A one-line picture of a parsed tree for table-driven tests:
//   element      name, "?name" for a declaration
//   attributes   "(x=1,y)" after the name, a bare attribute without "="
//   content      "{...}" holding the items in document order
//   text         'text'
//   clear        #open|value|close#

#include <string>

#include "shell/xml/xml_node.h"

inline std::string SummariseContent(const CXmlNode& node);

inline std::string SummariseElement(const CXmlNode& node) {
  std::string s = (node.IsDeclaration() ? "?" : "") + node.Name();
  if (node.AttributeCount() > 0) {
    s += "(";
    for (int i = 0; i < node.AttributeCount(); ++i) {
      const XmlAttribute* a = node.Attribute(i);
      if (i > 0) s += ",";
      s += a->name;
      if (a->value) s += "=" + *a->value;
    }
    s += ")";
  }
  const std::string content = SummariseContent(node);
  if (!content.empty()) s += "{" + content + "}";
  return s;
}

inline std::string SummariseContent(const CXmlNode& node) {
  std::string s;
  for (int position = 0; position < node.ItemCount(); ++position) {
    const XmlItem item = node.Item(position);
    std::string part;
    switch (item.kind) {
      case XML_ITEM_CHILD: part = SummariseElement(node.Child(item.index)); break;
      case XML_ITEM_TEXT: part = "'" + *node.Text(item.index) + "'"; break;
      case XML_ITEM_CLEAR_SECTION: {
        const XmlClearSection* c = node.ClearSection(item.index);
        part = "#" + c->openTag + "|" + c->value + "|" + c->closeTag + "#";
        break;
      }
      default: continue;  // attributes are shown with the name
    }
    if (!s.empty()) s += " ";
    s += part;
  }
  return s;
}
