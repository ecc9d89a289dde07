#include "shell/xml/xml_writer.h"

#include <string_view>

#include "shell/xml/xml_entities.h"

namespace {

// Counts (first pass) or appends (second pass).
class XmlOutput {
 public:
  explicit XmlOutput(std::string* text) : text_(text) {}

  void Put(std::string_view s) {
    if (text_) text_->append(s); else length_ += s.size();
  }
  void Put(char c) { Put(std::string_view(&c, 1)); }
  void PutEscaped(std::string_view s) {
    if (text_) AppendEscapedXml(s, *text_); else length_ += EscapedXmlLength(s);
  }
  std::size_t Length() const { return text_ ? text_->size() : length_; }

 private:
  std::string* text_;
  std::size_t length_ = 0;
};

class XmlWriter {
 public:
  XmlWriter(XmlOutput& out, bool layout) : out_(out), layout_(layout) {}

  void WriteElement(const CXmlNode& node, int depth) {
    Indent(depth);
    out_.Put('<');
    if (node.IsDeclaration()) out_.Put('?');
    out_.Put(node.Name());
    WriteAttributes(node);
    if (!HasContent(node)) {
      out_.Put(node.IsDeclaration() ? "?>" : "/>");
      LineEnd();
      return;
    }
    out_.Put('>');
    LineEnd();
    WriteContent(node, depth + 1);
    Indent(depth);
    out_.Put("</");
    out_.Put(node.Name());
    out_.Put('>');
    LineEnd();
  }

  // The children, texts and clear sections in document order.
  void WriteContent(const CXmlNode& node, int depth) {
    for (int position = 0; position < node.ItemCount(); ++position) {
      const XmlItem item = node.Item(position);
      switch (item.kind) {
        case XML_ITEM_CHILD:
          WriteElement(node.Child(item.index), depth);
          break;
        case XML_ITEM_TEXT:
          Indent(depth);
          out_.PutEscaped(*node.Text(item.index));
          LineEnd();
          break;
        case XML_ITEM_CLEAR_SECTION: {
          const XmlClearSection& section = *node.ClearSection(item.index);
          out_.Put(section.openTag);
          out_.Put(section.value);
          out_.Put(section.closeTag);
          break;
        }
        default:
          break;
      }
    }
  }

 private:
  static bool HasContent(const CXmlNode& node) {
    return node.ChildCount() + node.TextCount() + node.ClearSectionCount() > 0;
  }

  void WriteAttributes(const CXmlNode& node) {
    for (int i = 0; i < node.AttributeCount(); ++i) {
      const XmlAttribute& attribute = *node.Attribute(i);
      out_.Put(' ');
      out_.Put(attribute.name);
      if (!attribute.value) continue;
      out_.Put("=\"");
      out_.PutEscaped(*attribute.value);
      out_.Put('"');
    }
  }

  void Indent(int depth) {
    if (!layout_) return;
    for (int i = 0; i < depth; ++i) out_.Put('\t');
  }
  void LineEnd() {
    if (layout_) out_.Put('\n');
  }

  XmlOutput& out_;
  bool layout_;
};

void WriteTree(XmlOutput& out, const CXmlNode& node, int format) {
  XmlWriter writer(out, format >= 0);
  const int depth = format >= 0 ? format : 0;
  if (node.Name().empty()) {
    writer.WriteContent(node, depth);
  } else {
    writer.WriteElement(node, depth);
  }
}

}  // namespace

std::string CreateXmlString(const CXmlNode& node, int format, std::size_t* length) {
  std::string text;
  if (!node.IsEmpty()) {
    XmlOutput counter(nullptr);
    WriteTree(counter, node, format);
    text.reserve(counter.Length());
    XmlOutput writer(&text);
    WriteTree(writer, node, format);
  }
  if (length != nullptr) *length = text.size();
  return text;
}
