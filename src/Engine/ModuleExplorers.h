// The frame around every module explorer (a source parser that turns the text of one module
// into a code model rooted in a TModuleItem): the options of a language, the explorer base
// with its life cycle (create, clear, explore a text, update counting, change notification),
// the metrics hook an explorer notifies while it reads, and the process-wide registry that
// picks the explorer class and the options of a language, and the language of a file by its
// extension.
//
// Option setters may run while a parse reads the options elsewhere: Boolean and mode values
// live in 32-bit atomic cells written by an exchange, texts and the extension list are
// changed and read under the parsing lock. An explorer copies what it needs when it is made.
#pragma once

#include "Common/DataTyp.h"
#include "Engine/CodeItems.h"
#include "Engine/Tokenizers.h"
#include "Platform/Rtl/Classes.h"
#include "Platform/Rtl/TypInfo.h"

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace krx {

#define KRX_TCOMMENTASSOCIATIONMODE(X) X(camEnabled) X(camDisabled) X(camSignOnly) X(camSignUnassociate)
KRX_DECLARE_ENUM(TCommentAssociationMode, KRX_TCOMMENTASSOCIATIONMODE);

class TModuleExplorerOptions;
class TModuleExplorer;

// Class references of options and explorers: the language the class reports and its
// virtual constructor.
struct TModuleExplorerOptionsClass {
  TSourceLanguageKind Language;
  std::unique_ptr<TModuleExplorerOptions> (*Create)();
};
struct TModuleExplorerClass {
  TSourceLanguageKind Language;
  std::unique_ptr<TModuleExplorer> (*Create)();
};

class TModuleExplorerOptions : public TPersistent {
  KRX_PUBLISHED(TModuleExplorerOptions)

public:
  TModuleExplorerOptions();

  static const TModuleExplorerOptionsClass &ClassRef();
  virtual TSourceLanguageKind Language() const { return lanUndefined; }

  TCommentAssociationMode CommentAssociationMode() const {
    return static_cast<TCommentAssociationMode>(FCommentAssociationMode.load());
  }
  void SetCommentAssociationMode(TCommentAssociationMode value) {
    FCommentAssociationMode.exchange(value);
  }
  String CommentSignature() const;
  void SetCommentSignature(const String &value);
  bool CompressParams() const { return FCompressParams.load() != 0; }
  void SetCompressParams(bool value) { FCompressParams.exchange(value); }
  bool DetailedMetaDataHints() const { return FDetailedMetaDataHints.load() != 0; }
  void SetDetailedMetaDataHints(bool value) { FDetailedMetaDataHints.exchange(value); }
  bool EmptyLineUnassociatesComment() const { return FEmptyLineUnassociatesComment.load() != 0; }
  void SetEmptyLineUnassociatesComment(bool value) { FEmptyLineUnassociatesComment.exchange(value); }
  // The bare extensions joined by ";".
  String FileExtensions() const;
  // Splits at "," and ";", drops every "*" and ".", trims, keeps the non-empty pieces.
  void SetFileExtensions(const String &value);
  // The bare extension (no dot) is listed, ignoring case.
  bool ListsExtension(StringView extension) const;
  bool ParserEvaluatesConditions() const { return FParserEvaluatesConditions.load() != 0; }
  void SetParserEvaluatesConditions(bool value) { FParserEvaluatesConditions.exchange(value); }

private:
  std::atomic<std::int32_t> FCommentAssociationMode{camEnabled};
  std::atomic<std::int32_t> FCompressParams{1};
  std::atomic<std::int32_t> FDetailedMetaDataHints{1};
  std::atomic<std::int32_t> FEmptyLineUnassociatesComment{0};
  std::atomic<std::int32_t> FParserEvaluatesConditions{1};
  String FCommentSignature;
  std::vector<String> FExtensions;
};

// Raised by explorers on source they cannot read; carries only the message text.
KRX_DECLARE_EXCEPTION(EBadFormat, ETokenError);

// A hook that an explorer notifies while it reads a module, so that a descendant can count
// source metrics. The base counts nothing.
class TExplorerMetricsHandler : public TObject {
public:
  explicit TExplorerMetricsHandler(TModuleExplorer &explorer);
  ~TExplorerMetricsHandler() override;

  virtual void Reset();
  virtual void CommentSeen(TKRBaseTokenizer &) {}
  virtual bool Query() { return true; }
  virtual void IdentifierInBody(TProcItem *, TKRBaseTokenizer &) {}
  virtual void NumberInBody(TProcItem *, TKRBaseTokenizer &) {}
  virtual void StringInBody(TProcItem *, TKRBaseTokenizer &) {}
  virtual void ParsingEnded(TKRBaseTokenizer &) {}
  virtual void ParsingStarts(TKRBaseTokenizer &) {}

  TModuleExplorer &Explorer() const { return FExplorer; }
  TMessagesItem &Messages() const { return *FMessages; }

private:
  TModuleExplorer &FExplorer;
  std::unique_ptr<TMessagesItem> FMessages;
};

// The text an explorer reads: lines as given, or one text split at line breaks; neither
// means no source at all.
struct TExploreSource {
  const TStrings *Lines = nullptr;
  const String *Text = nullptr;
};

class TModuleExplorer : public TObject {
public:
  ~TModuleExplorer() override;
  TModuleExplorer(const TModuleExplorer &) = delete;
  TModuleExplorer &operator=(const TModuleExplorer &) = delete;

  // Makes an explorer of class T and runs its virtual part (the metrics handler).
  template <class T> static std::unique_ptr<TModuleExplorer> Create() {
    std::unique_ptr<TModuleExplorer> e(new T());
    e->AfterConstruction();
    return e;
  }

  virtual TSourceLanguageKind Language() const = 0;
  // The registry's options of the explorer's language.
  TModuleExplorerOptions &GetOptions() const;

  // Source is a list of lines; null reads nothing. Each call clears the previous result.
  void Explore(const TStrings *source, bool headerOnly);
  // The text is split into lines at CR LF, CR and LF.
  void ExploreText(const String &text, bool headerOnly = false);
  void Clear();

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  bool IsUpdating() const { return FUpdateCount != 0; }
  bool IsBusy() const { return FBusyCount != 0; }
  void Changed();

  Integer ItemCount() const { return FModule->ChildCount(); }
  TModuleType GetModuleType() const { return FModule->ModuleType(); }
  TModuleItem *ModuleItem() const { return FModule.get(); }
  TMessagesItem *Messages() const { return FMessages.get(); }
  TExplorerMetricsHandler &MetricsHandler() const { return *FMetrics; }

  // Runs of two or more characters up to #32 become their first character (when
  // CompressParams is on).
  String CompressWhitespace(String text) const;
  bool CompressParams() const { return FCompressParams; }
  TClassItemWarnings ReportedWarnings() const { return FReportedWarnings; }

  std::function<void(TModuleExplorer &sender)> OnChange;
  // Called by the grammar after each statement with the current line; setting the flag
  // ends the parse.
  std::function<void(Integer line, bool &cancel)> OnProgress;

protected:
  TModuleExplorer();
  // The virtual part of construction: the metrics handler.
  virtual void AfterConstruction();
  virtual std::unique_ptr<TExplorerMetricsHandler> CreateMetricsHandler();
  virtual void DoExplore(const TExploreSource &source, bool headerOnly) = 0;

  // Calls that must not nest with a parse.
  void BeginBusy() { ++FBusyCount; }
  void EndBusy() { --FBusyCount; }

private:
  TClassItemWarnings FReportedWarnings;
  bool FCompressParams = true;
  Integer FUpdateCount = 0;
  Integer FBusyCount = 0;
  std::unique_ptr<TExplorerMetricsHandler> FMetrics;
  std::unique_ptr<TMessagesItem> FMessages;
  std::unique_ptr<TModuleItem> FModule;
};

class TModuleExplorerRegistry {
public:
  TModuleExplorerRegistry();
  ~TModuleExplorerRegistry();
  TModuleExplorerRegistry(const TModuleExplorerRegistry &) = delete;
  TModuleExplorerRegistry &operator=(const TModuleExplorerRegistry &) = delete;

  void RegisterExplorerClass(const TModuleExplorerClass &cls);
  void UnregisterExplorerClass(const TModuleExplorerClass &cls);
  void RegisterOptionsClass(const TModuleExplorerOptionsClass &cls);
  void UnregisterOptionsClass(const TModuleExplorerOptionsClass &cls);

  // Created on first request from the registered options class; without one an internal
  // assertion fails.
  TModuleExplorerOptions &Options(TSourceLanguageKind language);
  // A new explorer of the registered class, owned by the caller; without one an internal
  // assertion fails.
  std::unique_ptr<TModuleExplorer> CreateExplorer(TSourceLanguageKind language);
  // The first language (from lanPascal up) whose options list the file's extension;
  // lanUndefined when none does.
  TSourceLanguageKind LanguageOfFile(StringView fileName);

private:
  static constexpr std::size_t kLanguages = static_cast<std::size_t>(TSourceLanguageKindLast) + 1;
  const TModuleExplorerClass *FExplorerClasses[kLanguages] = {};
  const TModuleExplorerOptionsClass *FOptionsClasses[kLanguages] = {};
  std::unique_ptr<TModuleExplorerOptions> FOptions[kLanguages];
};

// Inside a catch block: shows the exception through the application's exception handler
// (when an application exists), for failures that must not stop a parse.
void ShowExplorerException();

// The process-wide registry (between the unit's initialisation and finalisation).
TModuleExplorerRegistry &ModuleExplorerRegistry();
bool ModuleExplorerRegistryExists();

void ModuleExplorersInitialization();
void ModuleExplorersFinalization();

} // namespace krx
