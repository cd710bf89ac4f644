#include "XML/KRXMLDOM.h"

#include "Common/KRX.Exceptions.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

using K = TXMLElementKind;

// Records the order in which elements are freed.
struct TTracked : TXMLElement {
  TTracked(std::vector<String> &log, String name)
      : TXMLElement(K::ekElement, name, u""), FLog(log), FTag(std::move(name)) {}
  ~TTracked() override { FLog.push_back(FTag); }
  std::vector<String> &FLog;
  String FTag;
};

TXMLElement *AddTracked(TXMLElement &parent, std::vector<String> &log, const String &name) {
  return parent.AddChild(std::make_unique<TTracked>(log, name));
}

TEST(XMLElement, ChildListExistsOnlyWhileThereAreChildren) {
  TXMLElement parent(K::ekElement, u"p", u"");
  EXPECT_EQ(parent.ChildCount(), 0);
  EXPECT_FALSE(parent.HasChildList());
  TXMLElement *child = TXMLElement::CreateNamed(parent, u"c");
  EXPECT_EQ(parent.ChildCount(), 1);
  EXPECT_EQ(child->Parent(), &parent);
  EXPECT_EQ(child->Kind(), K::ekElement);
  delete child; // a freed child takes itself out of its parent
  EXPECT_EQ(parent.ChildCount(), 0);
  EXPECT_FALSE(parent.HasChildList());
  EXPECT_THROW(parent.Children(0), EListError);
}

TEST(XMLElement, AddChildIgnoresPresentChildAndRefusesCycles) {
  TXMLDocument doc;
  TXMLElement *a = TXMLElement::CreateNamed(doc, u"a");
  TXMLElement *b = TXMLElement::CreateNamed(*a, u"b");
  TXMLElement *c = TXMLElement::CreateNamed(*b, u"c");
  a->AddChild(b);
  EXPECT_EQ(a->ChildCount(), 1);
  for (TXMLElement *ancestor : {c, b, a, static_cast<TXMLElement *>(&doc)}) {
    try {
      c->AddChild(ancestor);
      ADD_FAILURE() << "no exception";
    } catch (const EKRXException &e) {
      EXPECT_EQ(e.Message(), u"Recursion detected");
    }
  }
  EXPECT_EQ(c->ChildCount(), 0);
  EXPECT_EQ(b->Parent(), a);
  EXPECT_EQ(a->Parent(), &doc);
  // A child of another element moves; it is never in two lists.
  doc.AddChild(c);
  EXPECT_EQ(b->ChildCount(), 0);
  EXPECT_EQ(c->Parent(), &doc);
  EXPECT_EQ(doc.ChildCount(), 2);
}

TEST(XMLElement, FreeingFreesEveryNodeOnceChildrenLastToFirst) {
  std::vector<String> log;
  {
    auto root = std::make_unique<TTracked>(log, u"root");
    TXMLElement *a = AddTracked(*root, log, u"a");
    AddTracked(*a, log, u"a1");
    AddTracked(*a, log, u"a2");
    AddTracked(*root, log, u"b");
  }
  // The tracking destructor of the root runs before the base frees the children.
  EXPECT_EQ(log, (std::vector<String>{u"root", u"b", u"a2", u"a1", u"a"}));
}

// The children a predicate picks are freed (with their subtrees, the last first); the others
// keep their order; no child left means no child list.
TEST(XMLElement, DeleteChildrenIfFreesThePickedAndKeepsTheRestInOrder) {
  const struct {
    const char16_t *Drop; // the names dropped, as letters
    std::vector<String> Kept, Freed;
  } rows[] = {{u"", {u"a", u"b", u"c", u"d"}, {}},
              {u"ac", {u"b", u"d"}, {u"c", u"a", u"a2"}}, // a logs before its child goes
              {u"bd", {u"a", u"c"}, {u"d", u"b"}},
              {u"abcd", {}, {u"d", u"c", u"b", u"a", u"a2"}}};
  for (const auto &row : rows) {
    std::vector<String> log;
    TXMLElement root(K::ekElement, u"root", u"");
    for (const char16_t *name : {u"a", u"b", u"c", u"d"})
      AddTracked(root, log, name);
    AddTracked(*root.Children(0), log, u"a2");
    root.DeleteChildrenIf(
        [&](const TXMLElement &e) { return String(row.Drop).find(e.Name()) != String::npos; });
    std::vector<String> kept;
    for (Integer i = 0; i < root.ChildCount(); ++i)
      kept.push_back(root.Children(i)->Name());
    EXPECT_EQ(kept, row.Kept) << StringToUtf8(row.Drop);
    EXPECT_EQ(log, row.Freed) << StringToUtf8(row.Drop);
    EXPECT_EQ(root.HasChildList(), !row.Kept.empty());
  }
}

TEST(XMLElement, ClearEmptiesNameTextAttributesAndChildren) {
  TXMLElement e(K::ekElement, u"n", u"t");
  e.Attributes().Add(u"x=1");
  TXMLElement::CreateNamed(e, u"c");
  e.Clear();
  EXPECT_EQ(e.Name(), u"");
  EXPECT_EQ(e.Text(), u"");
  EXPECT_EQ(e.Attributes().Count(), 0);
  EXPECT_FALSE(e.HasChildList());
}

TEST(XMLElement, VeryDeepTreesAreFreedWithoutRecursion) {
  auto doc = std::make_unique<TXMLDocument>();
  TXMLElement *e = doc.get();
  for (int i = 0; i < 300000; ++i)
    e = TXMLElement::CreateNamed(*e, u"d");
  EXPECT_EQ(doc->Root()->Parent(), doc.get());
  doc.reset(); // would overflow the stack if freed recursively
}

TEST(XMLDocument, DefaultsAndRoot) {
  TXMLDocument doc;
  EXPECT_EQ(doc.Name(), u"Document");
  EXPECT_EQ(doc.Kind(), K::ekDocument);
  EXPECT_EQ(doc.Version, u"1.0");
  EXPECT_EQ(doc.Root(), nullptr);
  TXMLElement::Create(doc, K::ekInstruction, u"xml", u"<?xml?>");
  TXMLElement::Create(doc, K::ekDTD, u"DTD", u"<!DOCTYPE r>");
  TXMLElement *r = TXMLElement::CreateNamed(doc, u"r");
  EXPECT_EQ(doc.Root(), r);
  doc.Version = u"1.1";
  doc.Encoding = u"UTF-8";
  doc.Clear();
  EXPECT_EQ(doc.Version, u"1.0");
  EXPECT_EQ(doc.Encoding, u"");
  EXPECT_EQ(doc.Name(), u"Document");
  EXPECT_EQ(doc.ChildCount(), 0);
}

TEST(XMLDocument, HasNameMatchesElementsOnlyIgnoringCase) {
  TXMLDocument doc;
  TXMLElement *f = TXMLElement::CreateNamed(doc, u"File");
  TXMLElement *t = TXMLElement::Create(doc, K::ekText, u"File", u"");
  EXPECT_TRUE(HasName(f, u"FILE"));
  EXPECT_FALSE(HasName(f, u"Files"));
  EXPECT_FALSE(HasName(t, u"File"));
  EXPECT_FALSE(HasName(nullptr, u"File"));
}

TEST(Dictionaries, AddAndSetRoutines) {
  TDictionary d;
  EXPECT_EQ(AddNameValue(d, u"a", u"1"), 0);
  EXPECT_EQ(AddNameValue(d, u"a", u"2"), 1); // no lookup: two lines
  EXPECT_EQ(SetDictValue(d, u"b", u""), -1);
  EXPECT_EQ(d.Count(), 2);
  EXPECT_EQ(SetDictValue(d, u"b", u"x"), 2);
  EXPECT_EQ(SetDictValueInt(d, u"n", -42), 3);
  EXPECT_EQ(d.Strings(3), u"n=-42");
  EXPECT_EQ(SetStringsValue(d, u"B", u"y"), 2); // replaces, found without regard to case
  EXPECT_EQ(d.Strings(2), u"b=y");
  EXPECT_EQ(SetStringsValue(d, u"b", u""), 2); // an empty value keeps the line
  EXPECT_EQ(d.Strings(2), u"b=");
  EXPECT_EQ(SetStringsValue(d, u"c", u"z"), 4);
  d.SetNameValueSeparator(u':');
  EXPECT_EQ(AddNameValue(d, u"k", u"v"), 5);
  EXPECT_EQ(d.Strings(5), u"k:v");
}

} // namespace
} // namespace krx
