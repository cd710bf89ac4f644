// Throughput of the Pascal tokenizer over the whole Free Pascal source tree
// (/usr/share/fpcsrc/3.2.2, or the folder in KRX_FPC_SOURCES): the raw tokenizer, and the
// preprocessing tokenizer that follows include files; and the time that hostile include
// trees take before the per-unit include bound ends them. One file is in memory at a time.
// Reading and decoding the files is not timed for the raw tokenizer; the preprocessor's
// include files are read while it runs, as they would be in use.
#include "BenchMain.h"
#include "Engine/KRX.PascalPreprocessors.h"
#include "Engine/SourceFileNames.h"
#include "Platform/Rtl/Files.h"
#include "World/ClassEx.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace krx {
namespace {

namespace fs = std::filesystem;

fs::path Root() {
  const char *env = std::getenv("KRX_FPC_SOURCES");
  return env && *env ? fs::path(env) : fs::path("/usr/share/fpcsrc/3.2.2");
}

std::vector<fs::path> SourceFiles(bool unitsOnly) {
  std::vector<fs::path> r;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(Root(), ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file())
      continue;
    String ext = LowerCase(Utf8ToString(it->path().extension().string()));
    if (ext == u".pas" || ext == u".pp" || (!unitsOnly && ext == u".inc"))
      r.push_back(it->path());
  }
  std::sort(r.begin(), r.end());
  return r;
}

bool ReadSource(const fs::path &p, String &text, std::size_t &bytes) {
  std::ifstream in(p, std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  bytes = raw.size();
  TTextEncoding enc;
  return DecodeTextBytes(reinterpret_cast<const Byte *>(raw.data()), raw.size(), text, enc);
}

void SetCounters(benchmark::State &state, double bytes, double tokens, std::size_t files) {
  state.SetBytesProcessed(static_cast<Int64>(bytes));
  state.counters["tokens/s"] = benchmark::Counter(tokens, benchmark::Counter::kIsRate);
  state.counters["files"] = static_cast<double>(files);
}

void BM_TokenizeRaw(benchmark::State &state) {
  auto files = SourceFiles(false);
  if (files.empty()) {
    state.SkipWithError("no Free Pascal sources: run scripts/setup");
    return;
  }
  double bytes = 0, tokens = 0;
  for (auto _ : state) {
    for (const fs::path &f : files) {
      state.PauseTiming();
      String text;
      std::size_t size = 0;
      bool ok = ReadSource(f, text, size);
      state.ResumeTiming();
      if (!ok)
        continue;
      bytes += static_cast<double>(size);
      TPascalTokenizer t(text);
      t.SetNumbersAsNumbers(true);
      t.SetTolerateErrors(true);
      while (t.NextToken() != TTokenKind::tkNone)
        tokens += 1;
    }
  }
  SetCounters(state, bytes, tokens, files.size());
}

void BM_Preprocess(benchmark::State &state) {
  auto files = SourceFiles(true);
  if (files.empty()) {
    state.SkipWithError("no Free Pascal sources: run scripts/setup");
    return;
  }
  double bytes = 0, tokens = 0;
  for (auto _ : state) {
    for (const fs::path &f : files) {
      state.PauseTiming();
      String text;
      std::size_t size = 0;
      bool ok = ReadSource(f, text, size);
      state.ResumeTiming();
      if (!ok)
        continue;
      bytes += static_cast<double>(size);
      TPascalPreprocessor pp;
      auto &t = pp.Tokenizer();
      const String unitDir = Utf8ToString(f.parent_path().string());
      t.SetTolerateErrors(true);
      t.SetNumbersAsNumbers(true);
      t.OnError = [](const String &) {};
      t.OnReadIncludeFile = [&](String &name, TTokenizerTextPtr &source) {
        String dir = t.FileName().empty() ? unitDir : ExtractFileDir(t.FileName());
        String found = ResolveSourceFileName(name, dir);
        std::size_t incBytes = 0;
        String incText;
        if (found.empty() || t.IsOpenFile(found) ||
            !ReadSource(fs::path(FileNameToOS(found)), incText, incBytes))
          return false;
        source = SplitTokenizerText(std::move(incText));
        bytes += static_cast<double>(incBytes);
        name = found;
        return true;
      };
      t.SetFileName(Utf8ToString(fs::weakly_canonical(f).string()));
      pp.SetText(text);
      while (t.NextToken() != TTokenKind::tkNone)
        tokens += 1;
    }
  }
  SetCounters(state, bytes, tokens, files.size());
}

BENCHMARK(BM_TokenizeRaw)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Preprocess)->Unit(benchmark::kMillisecond)->Iterations(2);

// Hostile include trees, which the per-unit include bound must end quickly: files that each
// include the next one twice (2^depth expansions without the bound), and a 2 MB unit that
// includes itself 500 times through a reader that does not ask IsOpenFile first (every
// refusal costs a read).
void BM_IncludeDoublingChain(benchmark::State &state) {
  const int depth = static_cast<int>(state.range(0));
  std::vector<String> files;
  for (int i = 0; i < depth; ++i)
    files.push_back(Format(u"x {$I d%d.inc} {$I d%d.inc}", {i + 1, i + 1}));
  double tokens = 0;
  for (auto _ : state) {
    TPascalPreprocessor pp;
    auto &t = pp.Tokenizer();
    t.OnError = [](const String &) {};
    t.OnReadIncludeFile = [&](String &name, TTokenizerTextPtr &source) {
      const Integer i = StrToIntDef(Copy(name, 2, Length(name) - 5), -1);
      if (i < 0 || i >= depth)
        return false;
      source = SplitTokenizerText(files[static_cast<std::size_t>(i)]);
      return true;
    };
    pp.SetText(u"{$I d0.inc}");
    while (t.NextToken() != TTokenKind::tkNone)
      tokens += 1;
  }
  state.counters["tokens"] = tokens / static_cast<double>(state.iterations());
}

void BM_IncludeSelfManyTimes(benchmark::State &state) {
  String text;
  for (int i = 0; i < 500; ++i)
    text += u"{$I main.pas}\r\n";
  while (text.size() < (std::size_t{2} << 20))
    text += u"x := y + 1; { a comment } s := 'text';\r\n";
  double tokens = 0;
  for (auto _ : state) {
    TPascalPreprocessor pp;
    auto &t = pp.Tokenizer();
    t.OnError = [](const String &) {};
    const TTokenizerTextPtr shared = SplitTokenizerText(text);
    t.OnReadIncludeFile = [&](String &name, TTokenizerTextPtr &source) {
      name = u"/src/main.pas";
      source = shared;
      return true;
    };
    t.SetFileName(u"/src/main.pas");
    pp.SetText(text);
    while (t.NextToken() != TTokenKind::tkNone)
      tokens += 1;
  }
  state.counters["tokens"] = tokens / static_cast<double>(state.iterations());
}

BENCHMARK(BM_IncludeDoublingChain)->Arg(20)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IncludeSelfManyTimes)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace krx

int main(int argc, char **argv) { return krx::RunBenchmarks(argc, argv); }
