#include "Engine/GrammarTokens.h"

#include "Engine/SourceFileNames.h"
#include "Engine/SourceTexts.h"
#include "Platform/Rtl/Files.h"

#include <mutex>

namespace krx {

namespace {
std::mutex GSearchFoldersLock;
std::vector<String> *GSearchFolders = nullptr; // null: none installed
} // namespace

void SetIncludeSearchFolders(std::vector<String> folders) {
  std::lock_guard<std::mutex> lock(GSearchFoldersLock);
  delete GSearchFolders;
  GSearchFolders = folders.empty() ? nullptr : new std::vector<String>(std::move(folders));
}

std::vector<String> IncludeSearchFolders() {
  std::lock_guard<std::mutex> lock(GSearchFoldersLock);
  return GSearchFolders ? *GSearchFolders : std::vector<String>{};
}

String TGrammarTokenizerContext::FindIncludeFile(const String &fileName) {
  // Which file a unit includes must not depend on where the process was started. A text
  // parsed without a file name finds its relative includes only through the search folders.
  const bool absolute = !fileName.empty() && (fileName[0] == u'/' || fileName[0] == u'\\');
  if (absolute)
    return ResolveSourceFileName(fileName, u"/");
  String found;
  const String moduleFile = IncludingFileName();
  if (!moduleFile.empty())
    found = ResolveSourceFileName(fileName, ExtractFileDir(ExpandFileName(moduleFile)));
  if (found.empty())
    for (const String &folder : IncludeSearchFolders()) {
      if (!folder.empty())
        found = ResolveSourceFileName(fileName, folder);
      if (!found.empty())
        break;
    }
  return found;
}

bool TGrammarTokenizerContext::ReadIncludeFile(String &fileName, TTokenizerTextPtr &source) {
  source.reset();
  if (!FollowsIncludeFiles())
    return false;
  auto [known, added] = FFoundIncludes.try_emplace(fileName);
  if (added)
    known->second = FindIncludeFile(fileName);
  const String &found = known->second;
  bool ok = false;
  if (!found.empty()) {
    try {
      source = ReadCachedSourceText(found);
      fileName = found;
      ok = true;
    } catch (const Exception &) {
      ok = false;
    }
  }
  if (!ok)
    IncludeFileNotFound(fileName);
  return ok;
}

void TGrammarTokens::SetSource(const TExploreSource &source, const String &fileName) {
  FContext->FFoundIncludes.clear();
  TGrammarTokenizer &t = Tokenizer();
  // The caller's text outlives the parse, which clears the tokenizer before it returns.
  if (source.Text)
    t.SetBorrowedText(*source.Text);
  else if (source.Lines) {
    std::vector<String> lines;
    lines.reserve(static_cast<std::size_t>(source.Lines->Count()));
    for (Integer i = 0; i < source.Lines->Count(); ++i)
      lines.push_back(source.Lines->Get(i));
    t.SetLines(lines);
  } else
    t.SetText(StringView());
  t.SetFileName(fileName);
}

} // namespace krx
