#include "shell/xml/xml_parser.h"

#include <cstdio>
#include <optional>
#include <utility>

#include "platform/file_io.h"
#include "shell/xml/xml_compare.h"
#include "shell/xml/xml_entities.h"
#include "shell/xml/xml_text_encoding.h"
#include "shell/xml/xml_tokenizer.h"

namespace {

// A parse failure, thrown from deep in the recursion to Parse.
struct XmlFailure {
  int code;
  std::size_t offset;
};

// An end tag that closed no element yet, passed to the enclosing ones.
struct PendingEndTag {
  std::string_view name;
  std::size_t offset;
};

class XmlParser {
 public:
  explicit XmlParser(std::string_view text) : tokens_(text) {}

  // Fills root; the code and, for failures, the line and column.
  XmlParseResult Parse(CXmlNode& root) {
    XmlParseResult result;
    try {
      if (auto pending = ParseContent(root, 0)) throw XmlFailure{XML_UNMATCHED_END_TAG, pending->offset};
      result.code = warning_ ? XML_WARNING_UNMATCHED_END_TAG : XML_NO_ERROR;
    } catch (const XmlFailure& failure) {
      result.code = failure.code;
      XmlLineAndColumn(tokens_.Text(), failure.offset, result.line, result.column);
    }
    return result;
  }

 private:
  using Pending = std::optional<PendingEndTag>;

  // The content of element up to its end tag (consumed), an end tag for an
  // enclosing element (returned), or the end of the data.
  Pending ParseContent(CXmlNode& element, int depth) {
    // Where the text before the next markup starts; kNoText while none.
    constexpr std::size_t kNoText = static_cast<std::size_t>(-1);
    std::size_t textStart = kNoText;
    for (;;) {
      const XmlToken token = tokens_.Next();
      if (token.kind == XmlTokenKind::Text || token.kind == XmlTokenKind::QuotedText ||
          token.kind == XmlTokenKind::Equals) {
        if (textStart == kNoText) textStart = token.start;
        continue;
      }
      if (token.kind == XmlTokenKind::End) return std::nullopt;  // a trailing text is dropped
      if (textStart != kNoText) AddText(element, textStart, token.start);
      textStart = kNoText;
      switch (token.kind) {
        case XmlTokenKind::StartTagOpen:
        case XmlTokenKind::DeclarationOpen:
          if (Pending pending = ParseElement(element, token, depth)) {
            if (ClosesElement(element, pending->name)) return std::nullopt;
            return pending;
          }
          break;
        case XmlTokenKind::EndTagOpen: {
          const PendingEndTag endTag = ReadEndTag();
          if (ClosesElement(element, endTag.name)) return std::nullopt;
          warning_ = true;
          return endTag;
        }
        case XmlTokenKind::ClearOpen: {
          const auto value = tokens_.ReadClearSection(token.clearKind);
          if (!value) throw XmlFailure{XML_UNMATCHED_END_TAG, token.start};
          const XmlClearKind& kind = kXmlClearKinds[token.clearKind];
          element.AddClearSection(std::string(kind.open), std::string(*value), std::string(kind.close));
          break;
        }
        default:  // a greater-than sign or a short close outside a tag
          throw XmlFailure{XML_UNEXPECTED_TOKEN, token.start};
      }
    }
  }

  // One element from its opening token: the name, the attributes, then its
  // content unless it closes short.
  Pending ParseElement(CXmlNode& parent, const XmlToken& opening, int depth) {
    if (depth + 1 > kMaxXmlDepth) throw XmlFailure{XML_INVALID_TAG, opening.start};
    const XmlToken nameToken = tokens_.Next();
    if (nameToken.kind != XmlTokenKind::Text) throw XmlFailure{XML_MISSING_START_TAG_NAME, nameToken.start};
    const bool declaration = opening.kind == XmlTokenKind::DeclarationOpen;
    CXmlNode child = parent.AddChild(nameToken.value, declaration);
    bool attributeOpen = false;  // an attribute name waits for "="
    for (;;) {
      const XmlToken token = tokens_.Next();
      switch (token.kind) {
        case XmlTokenKind::Text: {
          const std::string_view name = DropDeclarationMark(token.value, declaration);
          attributeOpen = !name.empty();
          if (attributeOpen) child.AddAttribute(name, std::nullopt);
          break;
        }
        case XmlTokenKind::Equals:
          if (!attributeOpen) throw XmlFailure{XML_UNEXPECTED_TOKEN, token.start};
          child.SetLastAttributeValue(ReadAttributeValue(declaration));
          attributeOpen = false;
          break;
        case XmlTokenKind::TagClose:
          return ParseContent(child, depth + 1);
        case XmlTokenKind::ShortClose:
          return std::nullopt;
        default:
          throw XmlFailure{XML_UNEXPECTED_TOKEN, token.start};
      }
    }
  }

  std::string ReadAttributeValue(bool declaration) {
    const XmlToken token = tokens_.Next();
    if (token.kind == XmlTokenKind::QuotedText) return Decode(token.value, token.start + 1);
    if (token.kind != XmlTokenKind::Text) throw XmlFailure{XML_UNEXPECTED_TOKEN, token.start};
    return Decode(DropDeclarationMark(token.value, declaration), token.start);
  }

  PendingEndTag ReadEndTag() {
    const XmlToken name = tokens_.Next();
    if (name.kind != XmlTokenKind::Text) throw XmlFailure{XML_MISSING_END_TAG_NAME, name.start};
    const XmlToken close = tokens_.Next();
    if (close.kind != XmlTokenKind::TagClose) throw XmlFailure{XML_MISSING_END_TAG_NAME, close.start};
    return {name.value, name.start};
  }

  // The root (no name) is closed by no end tag.
  static bool ClosesElement(const CXmlNode& element, std::string_view endTagName) {
    return !element.Name().empty() && XmlNamesEqual(element.Name(), endTagName);
  }

  // In a declaration a question mark that ends a name or value belongs to
  // the closing "?>".
  static std::string_view DropDeclarationMark(std::string_view text, bool declaration) {
    if (declaration && !text.empty() && text.back() == '?') text.remove_suffix(1);
    return text;
  }

  // The raw text from start up to the next tag, without trailing white
  // space, entities decoded.
  void AddText(CXmlNode& element, std::size_t start, std::size_t end) {
    std::string_view raw = tokens_.Text().substr(start, end - start);
    while (!raw.empty() && IsXmlWhiteSpace(raw.back())) raw.remove_suffix(1);
    element.AddText(Decode(raw, start));
  }

  std::string Decode(std::string_view raw, std::size_t offset) {
    std::string decoded;
    std::size_t errorOffset = 0;
    if (!DecodeXmlEntities(raw, decoded, errorOffset)) {
      throw XmlFailure{XML_UNEXPECTED_TOKEN, offset + errorOffset};
    }
    return decoded;
  }

  XmlTokenizer tokens_;
  bool warning_ = false;
};

// The first element named tagName among the root's children; a declaration
// element met on the way is entered and the search starts again among its
// children.
CXmlNode FindFirstTag(const CXmlNode& root, std::string_view tagName) {
  CXmlNode scope = root;
  for (int i = 0; i < scope.ChildCount(); ++i) {
    CXmlNode child = scope.Child(i);
    if (XmlNamesEqual(child.Name(), tagName)) return child;
    if (child.IsDeclaration()) {
      scope = child;
      i = -1;
    }
  }
  return {};
}

void SetResult(XmlParseResult* out, const XmlParseResult& result) {
  if (out != nullptr) *out = result;
}

}  // namespace

void XmlLineAndColumn(std::string_view text, std::size_t offset, int& line, int& column) {
  line = 1;
  column = 1;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
}

CXmlNode ParseXmlText(std::string_view text, const char* tagName, XmlParseResult* result) {
  CXmlNode root = CXmlNode::NewElement("");
  XmlParser parser(text);
  const XmlParseResult parsed = parser.Parse(root);
  SetResult(result, parsed);
  if (!XmlTreeKept(parsed.code)) return {};
  if (tagName == nullptr || *tagName == '\0') return root;
  CXmlNode found = FindFirstTag(root, tagName);
  if (found.IsEmpty()) SetResult(result, {XML_FIRST_TAG_NOT_FOUND, 0, 0});
  return found;
}

CXmlNode ParseXmlString(const char* text, const char* tagName, XmlParseResult* result) {
  if (text == nullptr) {
    SetResult(result, {XML_NO_ELEMENTS, 0, 0});
    return {};
  }
  return ParseXmlText(std::string_view(text), tagName, result);
}

CXmlNode ParseXmlFile(const std::string& path, const char* tagName, XmlParseResult* result) {
  std::string contents;
  if (!platform::ReadWholeFile(path, contents)) {
    SetResult(result, {XML_FILE_NOT_FOUND, 0, 0});
    return {};
  }
  contents = XmlTextToUtf8(std::move(contents));
  return ParseXmlString(contents.c_str(), tagName, result);
}

std::string FormatXmlFileError(const std::string& path, const char* tagName, const XmlParseResult& result) {
  char position[64];
  std::snprintf(position, sizeof position, "At line %i, column %i.\n", result.line, result.column);
  std::string report = "XML Parsing error inside file '" + path + "'.\nError: " + XmlErrorText(result.code) +
                       "\n" + position;
  if (result.code == XML_FIRST_TAG_NOT_FOUND) report += "Tag is '" + std::string(tagName ? tagName : "") + "'.\n";
  return report;
}

CXmlNode LoadXmlFile(const std::string& path, const char* tagName, XmlParseResult* result, std::string* report) {
  XmlParseResult parsed;
  CXmlNode node = ParseXmlFile(path, tagName, &parsed);
  SetResult(result, parsed);
  if (parsed.code == XML_NO_ERROR) return node;
  if (report != nullptr) *report = FormatXmlFileError(path, tagName, parsed);
  return {};
}
