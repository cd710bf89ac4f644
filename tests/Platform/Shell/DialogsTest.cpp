#include "Platform/Shell/Dialogs.h"

#include "Platform/Rtl/SysUtils.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

TEST(MessageBoxes, HeadlessDefaultWritesTheTextAndAnswersTheDefaultButton) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxW(nullptr, u"Save changes?", u"Editor", MB_YESNOCANCEL | MB_DEFBUTTON2),
            IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, u"Plain", nullptr, MB_OK | MB_ICONERROR), IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, u"Out of range", u"x", MB_OKCANCEL | MB_DEFBUTTON4), IDOK);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Editor: Save changes?"), std::string::npos) << err;
  EXPECT_NE(err.find("Error: Plain"), std::string::npos) << err;
}

TEST(MessageBoxes, ScriptedAnswersAreUsedInOrderThenTheDefaults) {
  TScriptedMessages script({IDCANCEL, IDRETRY});
  EXPECT_EQ(MessageBoxW(nullptr, u"one", u"c", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, u"two", u"c", MB_RETRYCANCEL | MB_DEFBUTTON2), IDRETRY);
  EXPECT_EQ(MessageBoxW(nullptr, u"three", u"c", MB_RETRYCANCEL | MB_DEFBUTTON2), IDCANCEL);
  auto requests = script.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].Text, u"one");
  EXPECT_EQ(requests[1].Answers, (std::vector<Integer>{IDRETRY, IDCANCEL}));
  EXPECT_EQ(requests[2].Flags, MB_RETRYCANCEL | MB_DEFBUTTON2);
  // An answer the buttons cannot give is a fault of the script.
  script.Push(IDYES);
  EXPECT_THROW(MessageBoxW(nullptr, u"four", u"c", MB_OK), EAssertionFailed);
}

TEST(MessageDialogs, CaptionsButtonsAndDefaults) {
  TScriptedMessages script;
  SetDialogApplicationTitle(u"Host IDE");
  EXPECT_EQ(MessageDlg(u"Sure?", mtConfirmation, {mbYes, mbNo, mbCancel}, 0), mrYes);
  EXPECT_EQ(MessageDlg(u"Warn", mtWarning, {mbOK, mbCancel}, 0), mrOk);
  EXPECT_EQ(MessageDlg(u"Again?", mtError, {mbAbort, mbRetry, mbIgnore}, 0), mrRetry);
  EXPECT_EQ(MessageDlg(u"Which?", mtInformation, {mbNo, mbCancel}, 0), mrNo);
  EXPECT_EQ(MessageDlg(u"Explicit", mtWarning, {mbOK, mbCancel}, 0, mbCancel), mrCancel);
  ShowMessage(u"Hello");
  auto r = script.Requests();
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[0].Caption, u"Confirm");
  EXPECT_EQ(r[0].Answers, (std::vector<Integer>{mrYes, mrNo, mrCancel}));
  EXPECT_EQ(r[1].Caption, u"Warning");
  EXPECT_EQ(r[2].Caption, u"Error");
  EXPECT_EQ(r[3].Caption, u"Information");
  EXPECT_EQ(r[5].Kind, TMessageKind::MessageDlg);
  EXPECT_EQ(r[5].Caption, u"Host IDE");
  EXPECT_EQ(r[5].Buttons, TMsgDlgButtons({mbOK}));
  EXPECT_EQ(ModalResultOf(mbHelp), mrNone);
  EXPECT_EQ(ModalResultOf(mbClose), mrClose);
  EXPECT_EQ(ModalResultOf(mbYesToAll), mrYesToAll);
}

} // namespace
} // namespace krx
