// krx-formdump [--dpi N] [--no-theme]
// Builds a sample dialog of the toolkit (an extended form with a frame, read from a form
// description), reports an IDE theme to it, moves its monitor to N pixels per inch (144 by
// default) and prints, as one JSON object, the control tree with bounds, visibility and
// fonts, and the events recorded on the way (theme requests, DPI events, hooks).
// Exits 2 on a usage error.
#include "../common/LinkTool.h"
#include "Controls/FormEx.h"
#include "Controls/KRX.Base.Frame.h"
#include "Controls/KRX.StyleSupport.h"
#include "Platform/Vcl/FormDescription.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

using namespace krx;

namespace {

std::vector<String> gEvents;

class TSampleFrame : public TBaseFrame {
public:
  using TBaseFrame::TBaseFrame;

protected:
  String Description() const override {
    return uR"(object SampleFrame: TSampleFrame
  Height = 120
  object KeyList: TWinControl
    Left = 8
    Top = 8
    Width = 304
    Height = 80
    Anchors = [akLeft, akTop, akRight, akBottom]
    TabStop = True
  end
  object Duplicates: TWinControl
    Left = 8
    Top = 96
    Width = 200
    Height = 16
    Font.Style = [fsBold]
  end
end)";
  }
  void ImageListChanged() override { gEvents.push_back(u"frame: image list changed"); }
  void StyleChanged() override { gEvents.push_back(u"frame: style changed"); }
  void ScaleChanged() override { gEvents.push_back(u"frame: scale changed"); }
};

class TSampleDialog : public TFormEx {
public:
  using TFormEx::TFormEx;

protected:
  String Description() const override {
    return uR"(object SampleDialog: TSampleDialog
  Left = 200
  Top = 150
  Width = 420
  Height = 240
  Caption = 'Options'
  Position = poDesigned
  object Frame: TSampleFrame
    Align = alTop
  end
  object Buttons: TWinControl
    Align = alBottom
    Width = 420
    Height = 41
    object OK: TWinControl
      Left = 240
      Top = 8
      Width = 75
      Height = 25
      Anchors = [akRight, akBottom]
      TabStop = True
    end
    object Cancel: TWinControl
      Left = 328
      Top = 8
      Width = 75
      Height = 25
      Anchors = [akRight, akBottom]
      TabStop = True
    end
  end
end)";
  }
  void InitForm() override {
    OnBeforeMonitorDpiChanged = [](TObject *, Integer o, Integer n) {
      gEvents.push_back(u"form: before DPI change " + IntToStr(o) + u" -> " + IntToStr(n));
    };
    OnAfterMonitorDpiChanged = [](TObject *, Integer o, Integer n) {
      gEvents.push_back(u"form: after DPI change " + IntToStr(o) + u" -> " + IntToStr(n));
    };
  }
  void StyleChanged() override { gEvents.push_back(u"form: style changed"); }
  void ScaleChanged() override { gEvents.push_back(u"form: scale changed"); }
};

std::string FontJson(const TFont &f) {
  std::string styles;
  for (Integer i = 0; i <= TFontStyleLast; ++i)
    if (f.Style().Contains(static_cast<TFontStyle>(i)))
      styles += (styles.empty() ? "" : ",") + tool::JsonString(TFontStyleNames[i]);
  return "{\"name\":" + tool::JsonString(f.Name()) + ",\"height\":" + std::to_string(f.Height()) +
         ",\"size\":" + std::to_string(f.Size()) + ",\"pixelsPerInch\":" +
         std::to_string(f.PixelsPerInch()) + ",\"style\":[" + styles + "]}";
}

std::string ControlJson(const TControl *c, const std::string &indent) {
  std::string out = indent + "{\"name\":" + tool::JsonString(c->Name()) +
                    ",\"class\":" + tool::JsonString(c->ClassName()) + ",\"bounds\":" +
                    tool::JsonArray({Int64(c->Left()), Int64(c->Top()), Int64(c->Width()),
                                     Int64(c->Height())}) +
                    ",\"visible\":" + (c->Visible() ? "true" : "false") +
                    ",\"ppi\":" + std::to_string(c->CurrentPPI()) + ",\"font\":" + FontJson(c->Font());
  if (const auto *w = dynamic_cast<const TWinControl *>(c); w && w->ControlCount() > 0) {
    out += ",\"children\":[\n";
    for (Integer i = 0; i < w->ControlCount(); ++i)
      out += ControlJson(w->Controls(i), indent + "  ") + (i + 1 < w->ControlCount() ? ",\n" : "\n");
    out += indent + "]";
  }
  return out + "}";
}

int Usage() {
  std::cerr << "usage: krx-formdump [--dpi N] [--no-theme]\n";
  return 2;
}

int ToolMain(int argc, char **argv) {
  Integer dpi = 144;
  bool theme = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dpi") == 0 && i + 1 < argc) {
      Integer v = 0;
      if (!TryStrToInt(Utf8ToString(argv[++i]), v) || v < 48 || v > 960)
        return Usage();
      dpi = v;
    } else if (std::strcmp(argv[i], "--no-theme") == 0) {
      theme = false;
    } else {
      return Usage();
    }
  }
  RegisterComponentClass<TWinControl>(u"TWinControl");
  RegisterComponentClass(u"TSampleFrame", [](TComponent *owner) -> TComponent * {
    return TCustomFrame::Create<TSampleFrame>(owner);
  });
  // The IDE side: answers the theme requests by recording them.
  auto &messages = TMessageManager::DefaultManager();
  const Integer applyId = messages.SubscribeToMessage<TApplyThemeMessage>(
      [](const TObject *, const TMessageBase &m) {
        gEvents.push_back(u"ide: apply theme to " +
                          static_cast<const TApplyThemeMessage &>(m).Value()->Name());
      });
  const Integer registerId = messages.SubscribeToMessage<TRegisterFormMessage>(
      [](const TObject *, const TMessageBase &m) {
        gEvents.push_back(u"ide: register form class " +
                          static_cast<const TRegisterFormMessage &>(m).Value()->ClassName());
      });
  TCustomStyleServices *ideStyle = nullptr;
  if (theme) {
    ideStyle = TStyleManager::RegisterStyle(std::make_unique<TCustomStyleServices>(u"IDE Dark", true));
    UpdateStyleServices(ideStyle);
  }

  TCustomStyleServices changed(u"IDE Light", true); // the theme the IDE changes to
  std::string result;
  {
    std::unique_ptr<TSampleDialog> dialog(TCustomForm::Create<TSampleDialog>(nullptr));
    dialog->Show();
    if (theme) {
      gEvents.push_back(u"host: IDE theme changed");
      UpdateStyleServices(&changed);
    }
    gEvents.push_back(u"host: monitor at " + IntToStr(dpi) + u" pixels per inch");
    Screen->SetMonitorPixelsPerInch(dialog->Monitor()->MonitorNum(), dpi);
    std::vector<tool::JsonValue> events(gEvents.begin(), gEvents.end());
    result = "{\"form\":\n" + ControlJson(dialog.get(), "") + ",\n\"events\":" +
             tool::JsonArray(events) + "}\n";
  }
  std::cout << result;
  UpdateStyleServices(nullptr);
  messages.Unsubscribe<TApplyThemeMessage>(applyId);
  messages.Unsubscribe<TRegisterFormMessage>(registerId);
  if (ideStyle)
    TStyleManager::UnregisterStyle(ideStyle);
  UnregisterComponentClass(u"TSampleFrame");
  UnregisterComponentClass(u"TWinControl");
  return 0;
}

} // namespace

int main(int argc, char **argv) { return tool::RunTool("krx-formdump", ToolMain, argc, argv); }
