#include "shell/xml/xml_entities.h"

#include <array>

#include "shell/xml/xml_compare.h"

namespace {

struct XmlEntity {
  std::string_view reference;  // from the ampersand to the semicolon
  char character;
};

constexpr std::array<XmlEntity, 5> kXmlEntities{{
    {"&lt;", '<'},
    {"&gt;", '>'},
    {"&amp;", '&'},
    {"&apos;", '\''},
    {"&quot;", '"'},
}};

const XmlEntity* EntityAt(std::string_view rest) {
  for (const auto& entity : kXmlEntities) {
    if (XmlStartsWithNoCase(rest, entity.reference)) return &entity;
  }
  return nullptr;
}

const XmlEntity* EntityFor(char c) {
  for (const auto& entity : kXmlEntities) {
    if (entity.character == c) return &entity;
  }
  return nullptr;
}

}  // namespace

bool DecodeXmlEntities(std::string_view text, std::string& out, std::size_t& errorOffset) {
  out.clear();
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] != '&') {
      out.push_back(text[i++]);
      continue;
    }
    const XmlEntity* entity = EntityAt(text.substr(i));
    if (entity == nullptr) {
      errorOffset = i;
      return false;
    }
    out.push_back(entity->character);
    i += entity->reference.size();
  }
  return true;
}

std::size_t EscapedXmlLength(std::string_view text) {
  std::size_t length = 0;
  for (char c : text) {
    const XmlEntity* entity = EntityFor(c);
    length += entity ? entity->reference.size() : 1;
  }
  return length;
}

void AppendEscapedXml(std::string_view text, std::string& out) {
  for (char c : text) {
    const XmlEntity* entity = EntityFor(c);
    if (entity) {
      out.append(entity->reference);
    } else {
      out.push_back(c);
    }
  }
}
