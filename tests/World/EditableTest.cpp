#include "World/Editable.h"

#include "Platform/Shell/Dialogs.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

struct TItem : TEditable {
  explicit TItem(Word kind) : FKind(kind) {}
  Word EditorKind() const override { return FKind; }
  Word FKind;
};

int gCreated = 0, gFreed = 0;
String gLastEditor;

template <Word Kind, bool Answer, bool Raise, char16_t Tag> struct TTestEditor : TKREditor {
  explicit TTestEditor(TEditable *e) : TKREditor(e) { ++gCreated; }
  ~TTestEditor() override { ++gFreed; }
  static Word EditorKind() { return Kind; }
  bool Execute() override {
    gLastEditor = String(1, Tag);
    if (Raise)
      throw EAbort(u"cancelled");
    return Answer;
  }
  static inline const TKREditorClass Class = {
      &TTestEditor::EditorKind,
      [](TEditable *e) -> std::unique_ptr<TKREditor> { return std::make_unique<TTestEditor>(e); }};
};

// Restores the factory's (empty) class list.
class EditorFactoryTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(EditorFactory(), nullptr);
    gCreated = gFreed = 0;
  }
  void TearDown() override { EditorFactory()->Classes.clear(); }
};

TEST_F(EditorFactoryTest, WithoutEditorsTheFallbackMessageIsShown) {
  TScriptedMessages messages;
  TItem item(22);
  EXPECT_TRUE(item.Edit());
  auto requests = messages.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].Kind, TMessageKind::MessageDlg);
  EXPECT_EQ(requests[0].DlgType, mtInformation);
  EXPECT_EQ(requests[0].Buttons, TMsgDlgButtons{mbOK});
  EXPECT_EQ(requests[0].Text, u"No editor found for this entity. Default properties will be used.");
}

TEST_F(EditorFactoryTest, FirstRegisteredEditorOfTheKindWinsAndIsFreed) {
  using TA = TTestEditor<20, false, false, u'a'>;
  using TB = TTestEditor<21, true, false, u'b'>;
  using TC = TTestEditor<21, false, false, u'c'>;
  auto &classes = EditorFactory()->Classes;
  classes = {&TA::Class, &TB::Class, &TC::Class};
  Integer index = -1;
  EXPECT_EQ(EditorFactory()->FindEditorClass(21, index), &TB::Class);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(EditorFactory()->FindEditorClass(99, index), nullptr);
  EXPECT_EQ(EditorFactory()->EditorClassOf(99), &TKREditor::Class);
  TItem b(21), a(20);
  EXPECT_TRUE(b.Edit());
  EXPECT_EQ(gLastEditor, u"b");
  EXPECT_FALSE(a.Edit());
  EXPECT_EQ(gLastEditor, u"a");
  EXPECT_EQ(gCreated, 2);
  EXPECT_EQ(gFreed, 2);
}

TEST_F(EditorFactoryTest, EditorIsFreedWhenExecuteRaises) {
  using TR = TTestEditor<23, true, true, u'r'>;
  EditorFactory()->Classes = {&TR::Class};
  TItem item(23);
  EXPECT_THROW(item.Edit(), EAbort);
  EXPECT_EQ(gCreated, 1);
  EXPECT_EQ(gFreed, 1);
}

TEST(EditorFactoryInstance, TheNewestFactoryIsTheInstanceUntilFreed) {
  TEditorFactory *global = EditorFactory();
  {
    TEditorFactory other;
    EXPECT_EQ(EditorFactory(), &other);
  }
  EXPECT_EQ(EditorFactory(), nullptr);
  // Restores the unit's own instance for the tests that follow.
  EditableFinalization();
  EditableInitialization();
  EXPECT_NE(EditorFactory(), nullptr);
  (void)global;
}

} // namespace
} // namespace krx
