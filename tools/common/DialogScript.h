// The script language of the dialog tools (krx-dialog, and krx-ide's `dialog script`): one
// action a line, run on a modal form as its user would act (header only: this folder is no
// program). kDialogScriptHelp lists the actions.
#pragma once

#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Hints.h"
#include "Platform/Vcl/Panels.h"

#include <istream>
#include <string>
#include <vector>

namespace krx::tool {

inline constexpr const char *kDialogScriptHelp =
    "  click NAME                 a click on the control\n"
    "  key KEYS                   a key with modifiers, as a shortcut text (\"Enter\", "
    "\"Ctrl+Tab\",\n"
    "                             \"Alt+E\" for an access key)\n"
    "  type TEXT                  characters typed into the focused control (a plain letter is an\n"
    "                             access key where the control takes no characters)\n"
    "  focus NAME                 the control takes the focus\n"
    "  select NAME INDEX          the user picks an item (combo box, radio group, list box, list\n"
    "                             view) or clicks a tab (page control)\n"
    "  item NAME INDEX [ctrl|shift|double]   a click on an item of a list box or list view\n"
    "  drag SOURCE TARGET         SOURCE dragged and dropped on TARGET\n"
    "  hint NAME                  the mouse rests on the control: its hint is shown and recorded\n"
    "  move X Y                   the user drags the dialog to that place\n";

// A hint shown by the `hint` action.
struct TDialogHint {
  String Control;
  THintResult Result;
};

// What a script did: the hints shown, the lines that failed (their messages), and the name of
// the control that had the focus when the script ended.
struct TDialogScriptRun {
  std::vector<TDialogHint> Hints;
  std::vector<String> Errors;
  String Focused;
};

// The lines of a script, without blank lines and lines starting with "#".
inline std::vector<String> ReadDialogScript(std::istream &In) {
  std::vector<String> lines;
  for (std::string line; std::getline(In, line);) {
    const String text = Trim(Utf8ToString(line));
    if (!text.empty() && text[0] != u'#')
      lines.push_back(text);
  }
  return lines;
}

// Runs one action on the form; a failure raises.
inline void RunDialogLine(TCustomForm &Form, const String &Line, TDialogScriptRun &Run) {
  std::vector<String> words;
  for (std::size_t at = 0; at < Line.size();) {
    const std::size_t end = std::min(Line.find(u' ', at), Line.size());
    if (end > at)
      words.push_back(Line.substr(at, end - at));
    at = end + 1;
  }
  const String verb = words.empty() ? String() : words[0];
  const String rest = Trim(Line.substr(verb.size()));
  const auto word = [&](std::size_t i) -> const String & {
    if (i >= words.size())
      throw EConvertError(u"Incomplete action: " + Line);
    return words[i];
  };
  const auto control = [&](std::size_t i) { return FindControl(&Form, word(i)); };
  if (verb == u"click") {
    ClickControl(control(1));
  } else if (verb == u"key") {
    const TShortCut shortCut = TextToShortCut(rest);
    if (shortCut == 0)
      throw EConvertError(u"Unknown key: " + rest);
    Word key;
    TShiftState shift;
    ShortCutToKey(shortCut, key, shift);
    PressKey(Form, key, shift);
  } else if (verb == u"type") {
    TypeText(Form, rest);
  } else if (verb == u"focus") {
    if (auto *w = dynamic_cast<TWinControl *>(control(1)))
      w->SetFocus();
  } else if (verb == u"select" || verb == u"item") {
    TControl *c = control(1);
    const Integer index = StrToInt(word(2));
    TShiftState shift;
    bool dbl = false;
    for (std::size_t i = 3; i < words.size(); ++i) {
      if (words[i] == u"ctrl")
        shift.Include(ssCtrl);
      else if (words[i] == u"shift")
        shift.Include(ssShift);
      else if (words[i] == u"double")
        dbl = true;
      else
        throw EConvertError(u"Unknown item option: " + words[i]);
    }
    if (auto *combo = dynamic_cast<TCustomComboBox *>(c))
      combo->SelectItem(index);
    else if (auto *group = dynamic_cast<TCustomRadioGroup *>(c))
      ClickControl(group->Buttons(index));
    else if (auto *pages = dynamic_cast<TPageControl *>(c))
      pages->ClickTab(index);
    else if (auto *list = dynamic_cast<TCustomListBox *>(c))
      dbl ? list->DblClickItem(index) : list->ClickItem(index, shift);
    else if (auto *view = dynamic_cast<TCustomListView *>(c))
      dbl ? view->DblClickItem(index) : view->ClickItem(index, shift);
    else
      throw EConvertError(u"Not a list: " + word(1));
  } else if (verb == u"drag") {
    if (!DragAndDrop(control(1), control(2)))
      throw EConvertError(word(2) + u" refused the drop of " + word(1));
  } else if (verb == u"hint") {
    Run.Hints.push_back({word(1), ActivateHint(control(1))});
  } else if (verb == u"move") {
    Form.SetBounds(StrToInt(word(1)), StrToInt(word(2)), Form.Width(), Form.Height());
  } else {
    throw EConvertError(u"Unknown action: " + verb);
  }
}

// Runs the lines on the form until one gives it a modal result; a line that fails is
// recorded and the next one runs.
inline void RunDialogScript(TCustomForm &Form, const std::vector<String> &Lines,
                            TDialogScriptRun &Run) {
  for (const String &line : Lines) {
    try {
      RunDialogLine(Form, line, Run);
    } catch (const Exception &e) {
      Run.Errors.push_back(e.Message());
    }
    if (Form.ModalResult() != mrNone)
      break;
  }
  Run.Focused = Form.ActiveControl() ? Form.ActiveControl()->Name() : String();
}

} // namespace krx::tool
