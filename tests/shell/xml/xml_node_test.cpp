// Element access, building and the references that keep records alive.

#include <gtest/gtest.h>

#include "shell/xml/xml_parser.h"

namespace {

TEST(XmlNode, AccessByNameIndexAndDocumentOrder) {
  const CXmlNode root = ParseXmlString("<m><item>a</item><x k='1' k='2' bare/><ITEM>b<!--c--></ITEM></m>");
  const CXmlNode m = root.Child(0);
  EXPECT_EQ(m.ChildCount(), 3);
  EXPECT_EQ(m.ChildCount("item"), 2);
  EXPECT_EQ(*m.Child("item", 1).Text(0), "b");
  EXPECT_TRUE(m.Child("item", 2).IsEmpty());
  EXPECT_TRUE(m.Child(3).IsEmpty());

  const CXmlNode x = m.Child("x", 0);
  EXPECT_EQ(*x.AttributeValue("K"), "1");  // the first of a name
  EXPECT_TRUE(x.HasAttribute("bare"));
  EXPECT_EQ(x.AttributeValue("bare"), nullptr);
  EXPECT_FALSE(x.HasAttribute("none"));

  const CXmlNode second = m.Child(2);
  EXPECT_EQ(second.ItemCount(), 2);
  EXPECT_EQ(second.Item(0).kind, XML_ITEM_TEXT);
  EXPECT_EQ(second.Item(1).kind, XML_ITEM_CLEAR_SECTION);
  EXPECT_EQ(second.Item(2).kind, XML_ITEM_NONE);
  EXPECT_EQ(second.ClearSection(0)->value, "c");
  EXPECT_EQ(second.Text(1), nullptr);
  EXPECT_TRUE(second.Parent().SameElement(m));
}

TEST(XmlNode, EmptyNodeAnswersNothingAndBuildsNothing) {
  CXmlNode empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.Name(), "");
  EXPECT_EQ(empty.ChildCount(), 0);
  EXPECT_EQ(empty.Item(0).kind, XML_ITEM_NONE);
  EXPECT_TRUE(empty.AddChild("a").IsEmpty());
  empty.AddText("t");
  EXPECT_EQ(empty.TextCount(), 0);
}

TEST(XmlNode, BuildingAppendsToDocumentOrder) {
  CXmlNode a = CXmlNode::NewElement("a");
  a.AddText("one");
  a.AddAttribute("k", std::string("v"));
  CXmlNode b = a.AddChild("b", true);
  a.AddClearSection("<!--", "x", "-->");
  ASSERT_EQ(a.ItemCount(), 4);
  EXPECT_EQ(a.Item(0).kind, XML_ITEM_TEXT);
  EXPECT_EQ(a.Item(1).kind, XML_ITEM_ATTRIBUTE);
  EXPECT_EQ(a.Item(2).kind, XML_ITEM_CHILD);
  EXPECT_EQ(a.Item(3).kind, XML_ITEM_CLEAR_SECTION);
  EXPECT_TRUE(b.IsDeclaration());
  EXPECT_TRUE(b.Parent().SameElement(a));
}

TEST(XmlNode, CopiesCountReferencesAndAChildOutlivesItsParent) {
  CXmlNode child;
  {
    CXmlNode root = ParseXmlString("<a><b>x</b></a>");
    EXPECT_EQ(root.ReferenceCount(), 1);
    CXmlNode copy = root;
    EXPECT_EQ(root.ReferenceCount(), 2);
    child = root.Child(0).Child(0);
    EXPECT_EQ(child.ReferenceCount(), 2);  // the parent's array and this handle
  }
  // The tree is gone; the child alone remains, without a parent.
  EXPECT_EQ(child.ReferenceCount(), 1);
  EXPECT_TRUE(child.Parent().IsEmpty());
  EXPECT_EQ(*child.Text(0), "x");
}

}  // namespace
