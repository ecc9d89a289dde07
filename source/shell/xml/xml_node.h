#pragma once
// CXmlNode: a handle to one element of a parsed (or built) XML tree.
//
// A handle holds a shared, reference-counted element record, or nothing (the
// empty node). Copying a handle adds a reference; destroying one drops it;
// the last reference frees the record with everything it owns, its child
// records included (each child's parent link is cleared first, so a child
// that is still held elsewhere outlives its parent with no parent).
//
// An element keeps its children, attributes, texts and clear sections
// (CDATA, comments and the like) each in its own array, and one array of the
// items in document order. Every name comparison ignores letter case.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum XmlItemKind : int {
  XML_ITEM_CHILD = 0,
  XML_ITEM_ATTRIBUTE = 1,
  XML_ITEM_TEXT = 2,
  XML_ITEM_CLEAR_SECTION = 3,
  XML_ITEM_NONE = 4,  // the empty node, or a position past the end
};

struct XmlAttribute {
  std::string name;
  std::optional<std::string> value;  // none for a bare attribute
};

struct XmlClearSection {
  std::string openTag;
  std::string value;
  std::string closeTag;
};

// One entry of the document order: which array, and the index in it.
struct XmlItem {
  XmlItemKind kind = XML_ITEM_NONE;
  int index = 0;
};

class XmlElementRecord;

class CXmlNode {
 public:
  CXmlNode() = default;

  // A new element record without a parent (the root of a tree being built).
  static CXmlNode NewElement(std::string_view name, bool declaration = false);

  bool IsEmpty() const { return record_ == nullptr; }
  explicit operator bool() const { return record_ != nullptr; }
  // Two handles of the same record.
  bool SameElement(const CXmlNode& other) const { return record_ == other.record_; }
  // References held to the record (0 for the empty node).
  long ReferenceCount() const { return record_.use_count(); }

  // Empty for the root that parsing creates and for the empty node.
  const std::string& Name() const;
  bool IsDeclaration() const;
  // The parent element, or the empty node.
  CXmlNode Parent() const;

  int ChildCount() const;
  int ChildCount(std::string_view name) const;
  int TextCount() const;
  int ClearSectionCount() const;
  int AttributeCount() const;
  int ItemCount() const;

  // The child at index, or the empty node.
  CXmlNode Child(int index) const;
  // The index-th child whose name is name, or the empty node.
  CXmlNode Child(std::string_view name, int index) const;

  // The value of the first attribute of the name; null when it is absent or
  // has no value.
  const std::string* AttributeValue(std::string_view name) const;
  bool HasAttribute(std::string_view name) const;
  const XmlAttribute* Attribute(int index) const;
  // The text at index, or null.
  const std::string* Text(int index) const;
  const XmlClearSection* ClearSection(int index) const;
  // The item at a document-order position; kind XML_ITEM_NONE for the empty
  // node or a position outside the order.
  XmlItem Item(int position) const;

  // Building: each appends to its array and to the document order. On the
  // empty node they do nothing (AddChild gives the empty node).
  CXmlNode AddChild(std::string_view name, bool declaration = false);
  void AddAttribute(std::string_view name, std::optional<std::string> value);
  void AddText(std::string text);
  void AddClearSection(std::string openTag, std::string value, std::string closeTag);
  // Gives a value to the last attribute added (the parser reads the value
  // after the name).
  void SetLastAttributeValue(std::string value);

 private:
  explicit CXmlNode(std::shared_ptr<XmlElementRecord> record) : record_(std::move(record)) {}
  std::shared_ptr<XmlElementRecord> record_;
};
