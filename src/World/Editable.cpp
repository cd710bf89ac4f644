#include "World/Editable.h"

#include "Platform/Shell/Dialogs.h"

namespace krx {

namespace {

const Char *const SNoEditorFound =
    u"No editor found for this entity. Default properties will be used.";

TEditorFactory *gInstance = nullptr;

std::unique_ptr<TEditorFactory> &OwnedFactory() {
  static std::unique_ptr<TEditorFactory> factory;
  return factory;
}

} // namespace

bool TEditable::Edit() {
  KR_ASSERT(EditorFactory() != nullptr);
  return EditorFactory()->EditItem(this);
}

const TKREditorClass TKREditor::Class = {
    &TKREditor::EditorKind,
    [](TEditable *e) -> std::unique_ptr<TKREditor> { return std::make_unique<TKREditor>(e); }};

bool TKREditor::Execute() { return MessageDlg(SNoEditorFound, mtInformation, {mbOK}, 0) == mrOk; }

TEditorFactory::TEditorFactory() { gInstance = this; }

TEditorFactory::~TEditorFactory() {
  if (gInstance == this)
    gInstance = nullptr;
}

bool TEditorFactory::EditItem(TEditable *AEditable) {
  std::unique_ptr<TKREditor> editor = CreateEditor(AEditable);
  return editor->Execute();
}

std::unique_ptr<TKREditor> TEditorFactory::CreateEditor(TEditable *AEditable) {
  KR_ASSERT(AEditable != nullptr);
  return EditorClassOf(AEditable->EditorKind())->Create(AEditable);
}

const TKREditorClass *TEditorFactory::EditorClassOf(Word AKind) const {
  Integer index = -1;
  const TKREditorClass *found = FindEditorClass(AKind, index);
  return found ? found : &TKREditor::Class;
}

const TKREditorClass *TEditorFactory::FindEditorClass(Word AKind, Integer &AIndex) const {
  for (std::size_t i = 0; i < Classes.size(); ++i)
    if (Classes[i]->EditorKind() == AKind) {
      AIndex = static_cast<Integer>(i);
      return Classes[i];
    }
  AIndex = -1;
  return nullptr;
}

TEditorFactory *EditorFactory() { return gInstance; }

void EditableInitialization() { OwnedFactory() = std::make_unique<TEditorFactory>(); }

void EditableFinalization() { OwnedFactory().reset(); }

} // namespace krx
