// A small in-memory XML tree: elements with a name, a kind, a text, attributes and owned
// children, and the document node that also carries the XML declaration's values.
#pragma once

#include "XML/Dictionaries.h"

#include <functional>
#include <memory>
#include <vector>

namespace krx {

enum class TXMLElementKind : Byte {
  ekDocument = 0,
  ekElement = 1,
  ekComment = 2,
  ekInstruction = 3,
  ekText = 4, // character data or a CDATA section
  ekDTD = 5,
};

// A node of the tree. An element owns its children: freeing an element frees its whole
// subtree, and an element that is freed while it has a parent takes itself out of the
// parent's children first, so `delete child` is a valid way to drop a node from a tree.
// Freeing and clearing walk the tree without recursion, so any depth is safe.
class TXMLElement {
public:
  // An element without a parent; the caller owns it.
  TXMLElement(TXMLElementKind kind, String name, String text);
  virtual ~TXMLElement();
  TXMLElement(const TXMLElement &) = delete;
  TXMLElement &operator=(const TXMLElement &) = delete;

  // The full constructor with a parent: the new element becomes the parent's last child
  // and is owned by it.
  static TXMLElement *Create(TXMLElement &parent, TXMLElementKind kind, String name, String text);
  static TXMLElement *CreateNamed(TXMLElement &parent, String name);

  // Frees every child, the last first, and empties Name, Text and the attributes.
  virtual void Clear();

  Integer ChildCount() const;
  // Zero-based; an index outside 0..ChildCount-1 raises EListError.
  TXMLElement *Children(Integer index) const;
  // Does nothing when child is already a child of this element; raises EKRXException
  // "Recursion detected" when child is this element or one of its ancestors. A child of
  // another element is moved here.
  void AddChild(TXMLElement *child);
  // Takes ownership of an element without a parent and appends it.
  TXMLElement *AddChild(std::unique_ptr<TXMLElement> child);
  // Frees, in one pass over the children, every child that `drop` answers true for (the last
  // first, as Clear does); the others keep their order. Freeing many children one by one
  // would search and shift the child list for each.
  void DeleteChildrenIf(const std::function<bool(const TXMLElement &)> &drop);
  bool HasChildList() const { return FChildren != nullptr; }

  TDictionary &Attributes() { return *FAttributes; }
  const TDictionary &Attributes() const { return *FAttributes; }
  TXMLElementKind Kind() const { return FKind; }
  void SetKind(TXMLElementKind kind) { FKind = kind; }
  const String &Name() const { return FName; }
  void SetName(String name) { FName = std::move(name); }
  TXMLElement *Parent() const { return FParent; }
  const String &Text() const { return FText; }
  void SetText(String text) { FText = std::move(text); }

private:
  void Append(std::unique_ptr<TXMLElement> child);
  std::unique_ptr<TXMLElement> Detach(TXMLElement *child);

  std::unique_ptr<TDictionary> FAttributes;
  // Created on the first added child, freed again when the last one goes.
  std::unique_ptr<std::vector<std::unique_ptr<TXMLElement>>> FChildren;
  TXMLElementKind FKind;
  String FName;
  TXMLElement *FParent = nullptr;
  String FText;
};

// True when element is an ekElement whose name equals name, ignoring case.
bool HasName(const TXMLElement *element, StringView name);

// The root node of a tree: named "Document", with the XML declaration's values.
class TXMLDocument : public TXMLElement {
public:
  TXMLDocument();

  // Also resets Encoding and Standalone to empty, Version to "1.0", Name to "Document".
  void Clear() override;
  // The first child of kind ekElement, or nullptr.
  TXMLElement *Root() const;

  String Encoding;
  String Standalone;
  String Version = u"1.0";
};

} // namespace krx
