#include "shell/xml/xml_node.h"

#include "shell/xml/xml_compare.h"

// The shared record behind the handles.
class XmlElementRecord : public std::enable_shared_from_this<XmlElementRecord> {
 public:
  XmlElementRecord(std::string_view n, bool declaration) : name(n), isDeclaration(declaration) {}
  ~XmlElementRecord() {
    for (auto& child : children) child->parent = nullptr;
  }
  XmlElementRecord(const XmlElementRecord&) = delete;
  XmlElementRecord& operator=(const XmlElementRecord&) = delete;

  void AppendOrder(std::size_t index, XmlItemKind kind) {
    order.push_back(static_cast<int>(index << 2) | static_cast<int>(kind));
  }

  std::string name;
  bool isDeclaration = false;
  XmlElementRecord* parent = nullptr;  // not owned; cleared when the parent goes
  std::vector<std::shared_ptr<XmlElementRecord>> children;
  std::vector<std::string> texts;
  std::vector<XmlClearSection> clearSections;
  std::vector<XmlAttribute> attributes;
  std::vector<int> order;  // (index << 2) | kind, in document order
};

namespace {

const std::string kNoName;

template <class T>
const T* At(const std::vector<T>& items, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return nullptr;
  return &items[static_cast<std::size_t>(index)];
}

}  // namespace

CXmlNode CXmlNode::NewElement(std::string_view name, bool declaration) {
  return CXmlNode(std::make_shared<XmlElementRecord>(name, declaration));
}

const std::string& CXmlNode::Name() const { return record_ ? record_->name : kNoName; }
bool CXmlNode::IsDeclaration() const { return record_ && record_->isDeclaration; }

CXmlNode CXmlNode::Parent() const {
  if (!record_ || record_->parent == nullptr) return {};
  return CXmlNode(record_->parent->shared_from_this());
}

int CXmlNode::ChildCount() const { return record_ ? static_cast<int>(record_->children.size()) : 0; }

int CXmlNode::ChildCount(std::string_view name) const {
  if (!record_) return 0;
  int count = 0;
  for (const auto& child : record_->children) count += XmlNamesEqual(child->name, name) ? 1 : 0;
  return count;
}

int CXmlNode::TextCount() const { return record_ ? static_cast<int>(record_->texts.size()) : 0; }
int CXmlNode::ClearSectionCount() const {
  return record_ ? static_cast<int>(record_->clearSections.size()) : 0;
}
int CXmlNode::AttributeCount() const { return record_ ? static_cast<int>(record_->attributes.size()) : 0; }
int CXmlNode::ItemCount() const { return record_ ? static_cast<int>(record_->order.size()) : 0; }

CXmlNode CXmlNode::Child(int index) const {
  if (!record_) return {};
  const auto* child = At(record_->children, index);
  return child ? CXmlNode(*child) : CXmlNode();
}

CXmlNode CXmlNode::Child(std::string_view name, int index) const {
  if (!record_ || index < 0) return {};
  for (const auto& child : record_->children) {
    if (XmlNamesEqual(child->name, name) && index-- == 0) return CXmlNode(child);
  }
  return {};
}

const std::string* CXmlNode::AttributeValue(std::string_view name) const {
  if (!record_) return nullptr;
  for (const auto& attribute : record_->attributes) {
    if (XmlNamesEqual(attribute.name, name)) return attribute.value ? &*attribute.value : nullptr;
  }
  return nullptr;
}

bool CXmlNode::HasAttribute(std::string_view name) const {
  if (!record_) return false;
  for (const auto& attribute : record_->attributes) {
    if (XmlNamesEqual(attribute.name, name)) return true;
  }
  return false;
}

const XmlAttribute* CXmlNode::Attribute(int index) const {
  return record_ ? At(record_->attributes, index) : nullptr;
}
const std::string* CXmlNode::Text(int index) const { return record_ ? At(record_->texts, index) : nullptr; }
const XmlClearSection* CXmlNode::ClearSection(int index) const {
  return record_ ? At(record_->clearSections, index) : nullptr;
}

XmlItem CXmlNode::Item(int position) const {
  if (!record_) return {};
  const int* entry = At(record_->order, position);
  if (entry == nullptr) return {};
  return {static_cast<XmlItemKind>(*entry & 3), *entry >> 2};
}

CXmlNode CXmlNode::AddChild(std::string_view name, bool declaration) {
  if (!record_) return {};
  auto child = std::make_shared<XmlElementRecord>(name, declaration);
  child->parent = record_.get();
  record_->AppendOrder(record_->children.size(), XML_ITEM_CHILD);
  record_->children.push_back(child);
  return CXmlNode(std::move(child));
}

void CXmlNode::AddAttribute(std::string_view name, std::optional<std::string> value) {
  if (!record_) return;
  record_->AppendOrder(record_->attributes.size(), XML_ITEM_ATTRIBUTE);
  record_->attributes.push_back({std::string(name), std::move(value)});
}

void CXmlNode::AddText(std::string text) {
  if (!record_) return;
  record_->AppendOrder(record_->texts.size(), XML_ITEM_TEXT);
  record_->texts.push_back(std::move(text));
}

void CXmlNode::AddClearSection(std::string openTag, std::string value, std::string closeTag) {
  if (!record_) return;
  record_->AppendOrder(record_->clearSections.size(), XML_ITEM_CLEAR_SECTION);
  record_->clearSections.push_back({std::move(openTag), std::move(value), std::move(closeTag)});
}

void CXmlNode::SetLastAttributeValue(std::string value) {
  if (!record_ || record_->attributes.empty()) return;
  record_->attributes.back().value = std::move(value);
}
