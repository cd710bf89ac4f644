// The persistent root class of the code model, whose objects are edited through an editor
// that the process-wide editor factory finds by the object's editor kind; TKREditor is the
// fallback editor.
#pragma once

#include "Platform/Rtl/Classes.h"

#include <memory>
#include <vector>

namespace krx {

class TEditable : public TPersistent {
public:
  // Runs the editor for this object; the editor's answer.
  virtual bool Edit();
  // The kind by which the editor is looked up.
  virtual Word EditorKind() const { return 0; }
};

class TKREditor;

// A class reference of an editor: the kind it edits and its virtual constructor.
struct TKREditorClass {
  Word (*EditorKind)();
  std::unique_ptr<TKREditor> (*Create)(TEditable *AEditable);
};

class TKREditor : public TObject {
public:
  explicit TKREditor(TEditable *) {}
  static Word EditorKind() { return 0; }
  static const TKREditorClass Class;

  // Shows "No editor found for this entity. Default properties will be used." in an
  // information dialog with an OK button; True when it ends with OK.
  virtual bool Execute();
};

class TEditorFactory : public TObject {
public:
  // The new factory becomes the process-wide instance.
  TEditorFactory();
  ~TEditorFactory() override;

  // Creates the editor of the object's kind, executes it and frees it (also when Execute
  // raises); the answer of Execute.
  bool EditItem(TEditable *AEditable);
  std::unique_ptr<TKREditor> CreateEditor(TEditable *AEditable);
  // The registered class of that kind, or TKREditor.
  const TKREditorClass *EditorClassOf(Word AKind) const;
  // The first registered class whose kind is AKind, with its index; nullptr when none.
  const TKREditorClass *FindEditorClass(Word AKind, Integer &AIndex) const;

  // The registered editor classes, in order; the system registers none.
  std::vector<const TKREditorClass *> Classes;
};

// The process-wide factory, between the unit's initialisation and finalisation.
TEditorFactory *EditorFactory();
void EditableInitialization();
void EditableFinalization();

} // namespace krx
