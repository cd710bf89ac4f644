#include "XML/KRXMLDOM.h"

#include "Common/KRX.Exceptions.h"

#include <algorithm>

namespace krx {

namespace {
const Char *const SRecursionDetected = u"Recursion detected";
}

TXMLElement::TXMLElement(TXMLElementKind kind, String name, String text)
    : FAttributes(std::make_unique<TDictionary>()), FKind(kind), FName(std::move(name)),
      FText(std::move(text)) {}

TXMLElement *TXMLElement::Create(TXMLElement &parent, TXMLElementKind kind, String name,
                                 String text) {
  auto child = std::make_unique<TXMLElement>(kind, std::move(name), std::move(text));
  TXMLElement *result = child.get();
  parent.Append(std::move(child));
  return result;
}

TXMLElement *TXMLElement::CreateNamed(TXMLElement &parent, String name) {
  return Create(parent, TXMLElementKind::ekElement, std::move(name), String());
}

TXMLElement::~TXMLElement() {
  Clear();
  if (FParent) {
    // Freed directly while still linked: give up the parent's ownership without freeing.
    FParent->Detach(this).release();
  }
}

void TXMLElement::Clear() {
  // Post-order walk from the last child, freeing each node once its own children are
  // gone; no recursion, so a tree of any depth is freed with a small stack.
  TXMLElement *node = this;
  while (true) {
    if (node->FChildren) {
      node = node->FChildren->back().get();
      continue;
    }
    if (node == this)
      break;
    TXMLElement *parent = node->FParent;
    std::unique_ptr<TXMLElement> owned = std::move(parent->FChildren->back());
    parent->FChildren->pop_back();
    if (parent->FChildren->empty())
      parent->FChildren.reset();
    owned->FParent = nullptr; // so that it does not detach itself again
    owned.reset();
    node = parent;
  }
  FName.clear();
  FText.clear();
  FAttributes->Clear();
}

Integer TXMLElement::ChildCount() const {
  return FChildren ? static_cast<Integer>(FChildren->size()) : 0;
}

TXMLElement *TXMLElement::Children(Integer index) const {
  if (index < 0 || index >= ChildCount())
    throw EListError(Format(u"List index out of bounds (%d)", {index}));
  return (*FChildren)[static_cast<std::size_t>(index)].get();
}

void TXMLElement::AddChild(TXMLElement *child) {
  KR_ASSERT(child != nullptr);
  if (child->FParent == this)
    return;
  for (const TXMLElement *e = this; e; e = e->FParent)
    if (e == child)
      throw EKRXException(SRecursionDetected);
  // A parentless element passed by pointer has an owner we cannot take it from.
  KR_ASSERT(child->FParent != nullptr);
  Append(child->FParent->Detach(child));
}

TXMLElement *TXMLElement::AddChild(std::unique_ptr<TXMLElement> child) {
  KR_ASSERT(child && child->FParent == nullptr);
  TXMLElement *result = child.get();
  for (const TXMLElement *e = this; e; e = e->FParent)
    KR_ASSERT(e != result);
  Append(std::move(child));
  return result;
}

void TXMLElement::Append(std::unique_ptr<TXMLElement> child) {
  if (!FChildren)
    FChildren = std::make_unique<std::vector<std::unique_ptr<TXMLElement>>>();
  child->FParent = this;
  FChildren->push_back(std::move(child));
}

void TXMLElement::DeleteChildrenIf(const std::function<bool(const TXMLElement &)> &drop) {
  if (!FChildren)
    return;
  std::vector<std::unique_ptr<TXMLElement>> dropped;
  std::vector<std::unique_ptr<TXMLElement>> &children = *FChildren;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < children.size(); ++i) {
    if (drop(*children[i])) {
      children[i]->FParent = nullptr; // so that it does not detach itself
      dropped.push_back(std::move(children[i]));
    } else if (kept != i) {
      children[kept++] = std::move(children[i]);
    } else {
      ++kept;
    }
  }
  children.resize(kept);
  if (children.empty())
    FChildren.reset();
  while (!dropped.empty())
    dropped.pop_back();
}

std::unique_ptr<TXMLElement> TXMLElement::Detach(TXMLElement *child) {
  KR_ASSERT(child->FParent == this);
  KR_ASSERT(FChildren != nullptr);
  // Searched from the end: the reader and the tree walks free the last child first.
  auto it = std::find_if(FChildren->rbegin(), FChildren->rend(),
                         [child](const auto &p) { return p.get() == child; });
  KR_ASSERT(it != FChildren->rend());
  std::unique_ptr<TXMLElement> owned = std::move(*it);
  FChildren->erase(std::next(it).base());
  if (FChildren->empty())
    FChildren.reset();
  child->FParent = nullptr;
  return owned;
}

bool HasName(const TXMLElement *element, StringView name) {
  return element && element->Kind() == TXMLElementKind::ekElement &&
         SameText(element->Name(), name);
}

TXMLDocument::TXMLDocument() : TXMLElement(TXMLElementKind::ekDocument, u"Document", String()) {
  TXMLDocument::Clear();
}

void TXMLDocument::Clear() {
  TXMLElement::Clear();
  Encoding.clear();
  Standalone.clear();
  Version = u"1.0";
  SetName(u"Document");
}

TXMLElement *TXMLDocument::Root() const {
  for (Integer i = 0; i < ChildCount(); ++i)
    if (Children(i)->Kind() == TXMLElementKind::ekElement)
      return Children(i);
  return nullptr;
}

} // namespace krx
