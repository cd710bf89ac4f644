#include "Platform/Rtl/Classes.h"
#include "support/KrxTest.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace krx {
namespace {

// ---- Golden values from tests/fixtures/fpc/strings_probe.pas --------------------------------
//
// The probe prints one case per line. Texts are escaped: '#' followed by the decimal code
// stands for a character below 32, '#' or '|'; a list is "count:" followed by "|item" per
// item.

String Unescape(const std::string &s) {
  String out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '#') {
      std::size_t j = i + 1;
      int code = 0;
      while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j])))
        code = code * 10 + (s[j++] - '0');
      out.push_back(static_cast<Char>(code));
      i = j - 1;
    } else {
      out.push_back(static_cast<Char>(static_cast<unsigned char>(s[i])));
    }
  }
  return out;
}

std::vector<String> UnescapeItems(const std::string &s) {
  std::vector<String> items;
  std::size_t bar = s.find('|');
  if (bar == std::string::npos)
    return items;
  std::size_t start = bar + 1;
  for (;;) {
    std::size_t next = s.find('|', start);
    items.push_back(
        Unescape(s.substr(start, next == std::string::npos ? std::string::npos : next - start)));
    if (next == std::string::npos)
      break;
    start = next + 1;
  }
  return items;
}

std::vector<std::string> ProbeLines(const std::string &fixture) {
  std::ifstream in(test::Fixture(fixture));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

struct ProbeCase {
  std::string Kind;
  std::vector<std::string> Params; // delimiter, quote, strict flag for the delimited cases
  std::string Input;               // left of the first " => "
  std::string Output;              // right of it
};

ProbeCase ParseCase(const std::string &line) {
  ProbeCase c;
  std::size_t sp = line.find(' ');
  c.Kind = line.substr(0, sp);
  std::size_t pos = sp + 1;
  if (c.Kind == "readdelim" || c.Kind == "writedelim") {
    for (int k = 0; k < 3; ++k) {
      std::size_t e = line.find(' ', pos);
      c.Params.push_back(line.substr(pos, e - pos));
      pos = e + 1;
    }
  }
  std::size_t arrow = line.find(" => ", pos);
  c.Input = line.substr(pos, arrow - pos);
  c.Output = line.substr(arrow + 4);
  return c;
}

void Configure(TStrings &list, const ProbeCase &c) {
  list.SetDelimiter(Unescape(c.Params[0])[0]);
  list.SetQuoteChar(Unescape(c.Params[1])[0]);
  list.SetStrictDelimiter(c.Params[2] == "TRUE");
}

TEST(StringListGolden, DelimitedAndLineTextsMatchTheProbe) {
  // Where the original class library differs from Free Pascal, its value holds:
  // - reading, a delimiter followed only by blanks does not add an empty item (Free Pascal
  //   adds one);
  // - Text ends every line with CR LF (Free Pascal on Linux uses LF).
  const std::map<std::string, std::vector<String>> originalReads = {
      {"a, ", {u"a"}},
  };
  int checked = 0;
  for (const std::string &line : ProbeLines("fpc/strings_probe.out")) {
    ProbeCase c = ParseCase(line);
    SCOPED_TRACE(line);
    TStringList list;
    if (c.Kind == "readcomma" || c.Kind == "readdelim") {
      std::vector<String> expected = UnescapeItems(c.Output);
      if (c.Kind == "readcomma") {
        if (auto it = originalReads.find(c.Input); it != originalReads.end())
          expected = it->second;
        list.SetCommaText(Unescape(c.Input));
      } else {
        Configure(list, c);
        list.SetDelimitedText(Unescape(c.Input));
      }
      EXPECT_EQ(list.ToStringArray(), expected);
    } else if (c.Kind == "writecomma" || c.Kind == "writedelim") {
      if (c.Kind == "writedelim")
        Configure(list, c);
      for (const String &s : UnescapeItems(c.Input))
        list.Add(s);
      EXPECT_EQ(c.Kind == "writecomma" ? list.CommaText() : list.DelimitedText(),
                Unescape(c.Output));
    } else if (c.Kind == "readtext") {
      std::size_t arrow = c.Output.find(" => ");
      list.SetText(Unescape(c.Input));
      EXPECT_EQ(list.ToStringArray(), UnescapeItems(c.Output.substr(0, arrow)));
      EXPECT_EQ(list.Text(),
                StringReplace(Unescape(c.Output.substr(arrow + 4)), u"\n", u"\r\n", rfReplaceAll));
    } else {
      continue;
    }
    ++checked;
  }
  EXPECT_GE(checked, 50); // the fixture was found and read
}

// ---- Name/value lines --------------------------------------------------------------------

TEST(StringListValues, NamesValuesAndValueFromIndex) {
  TStringList list;
  list.SetText(u"a=1\r\nB=2=3\r\nnovalue\r\n=empty\r\nb=4");
  EXPECT_EQ(list.Names(0), u"a");
  EXPECT_EQ(list.Names(1), u"B");
  EXPECT_EQ(list.Names(2), u"");
  EXPECT_EQ(list.Names(3), u"");
  EXPECT_EQ(list.Values(u"A"), u"1");
  EXPECT_EQ(list.Values(u"b"), u"2=3"); // the first line of that name, case ignored
  EXPECT_EQ(list.Values(u"novalue"), u"");
  EXPECT_EQ(list.Values(u""), u"empty");
  EXPECT_EQ(list.ValueFromIndex(1), u"2=3");
  // The original class library gives an empty value for a line without separator (Free
  // Pascal gives the whole line).
  EXPECT_EQ(list.ValueFromIndex(2), u"");
  EXPECT_EQ(list.ValueFromIndex(3), u"empty");
  EXPECT_EQ(list.ValueFromIndex(-1), u"");
  EXPECT_EQ(list.IndexOfName(u"b"), 1);
  EXPECT_EQ(list.IndexOfName(u"novalue"), -1);
  EXPECT_EQ(list.IndexOfName(u""), 3);
}

TEST(StringListValues, AssigningValuesReplacesAddsAndDeletes) {
  TStringList list;
  list.SetText(u"a=1\r\nB=2\r\nb=4");
  list.SetValues(u"b", u"x");
  EXPECT_EQ(list.Text(), u"a=1\r\nb=x\r\nb=4\r\n"); // the first line, renamed as written
  list.SetValues(u"c", u"new");
  EXPECT_EQ(list.Get(3), u"c=new");
  // An empty value deletes the line (Free Pascal keeps "A=").
  list.SetValues(u"A", u"");
  EXPECT_EQ(list.Text(), u"b=x\r\nb=4\r\nc=new\r\n");
  list.SetValues(u"absent", u"");
  EXPECT_EQ(list.Count(), 3);
  list.SetValueFromIndex(1, u"five");
  EXPECT_EQ(list.Get(1), u"b=five");
  list.SetValueFromIndex(-1, u"added");
  EXPECT_EQ(list.Get(3), u"=added");
  list.SetValueFromIndex(0, u"");
  EXPECT_EQ(list.Get(0), u"b=five");

  list.SetNameValueSeparator(u':');
  list.AddPair(u"k", u"v");
  EXPECT_EQ(list.Values(u"K"), u"v");
}

TEST(StringListValues, SetValuesOnASortedListRaises) {
  TStringList list;
  list.SetSorted(true);
  list.Add(u"a=1");
  EXPECT_THROW(list.SetValues(u"a", u"2"), EStringListError);
}

// ---- Sorting, searching, duplicates --------------------------------------------------------

TEST(StringListSorted, FindGivesMatchOrInsertionPoint) {
  TStringList list;
  list.SetSorted(true);
  for (const Char *s : {u"pear", u"Apple", u"banana", u"apple"})
    list.Add(s);
  EXPECT_EQ(list.ToStringArray(), (std::vector<String>{u"Apple", u"banana", u"pear"}));
  Integer index = -1;
  EXPECT_TRUE(list.Find(u"BANANA", index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(list.Find(u"cherry", index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(list.Find(u"zzz", index));
  EXPECT_EQ(index, 3);
  EXPECT_EQ(list.IndexOf(u"APPLE"), 0);
  EXPECT_EQ(list.Add(u"PEAR"), 2); // dupIgnore: the index of the line already there
  EXPECT_EQ(list.Count(), 3);

  list.SetDuplicates(dupAccept);
  list.Add(u"Banana");
  list.Add(u"BANANA");
  // A duplicate goes before the first equal line.
  EXPECT_EQ(list.ToStringArray(),
            (std::vector<String>{u"Apple", u"BANANA", u"Banana", u"banana", u"pear"}));
  EXPECT_TRUE(list.Find(u"banana", index));
  EXPECT_EQ(index, 1);

  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf(u"BANANA"), 1);
  EXPECT_EQ(list.IndexOf(u"banana"), 3);
  EXPECT_EQ(list.IndexOf(u"bAnana"), -1);
}

TEST(StringListSorted, SortingCompareUnicodeWithoutCase) {
  TStringList list;
  for (const Char *s : {u"\u00C9cole", u"zebra", u"\u00E9cole", u"Apple"})
    list.Add(s);
  list.SetSorted(true);
  // Ordinal order after case folding, not a locale's collation: "z" before "\u00E9".
  EXPECT_EQ(list.Get(0), u"Apple");
  EXPECT_EQ(list.Get(1), u"zebra");
  EXPECT_EQ(list.IndexOf(u"\u00C9COLE"), 2); // the first of the two equal lines
  EXPECT_EQ(list.IndexOf(u"ZEBRA"), 1);
  TStringList unsorted;
  unsorted.Add(u"\u00C9t\u00E9");
  EXPECT_EQ(unsorted.IndexOf(u"\u00E9T\u00C9"), 0);
  unsorted.SetCaseSensitive(true);
  EXPECT_EQ(unsorted.IndexOf(u"\u00E9T\u00C9"), -1);
}

TEST(StringListSorted, DuplicatesErrorAndSortedRestrictions) {
  TStringList list(dupError, true, false);
  list.Add(u"a");
  try {
    list.Add(u"A");
    FAIL();
  } catch (const EStringListError &e) {
    EXPECT_EQ(e.Message(), u"String list does not allow duplicates");
  }
  try {
    list.Insert(0, u"x");
    FAIL();
  } catch (const EStringListError &e) {
    EXPECT_EQ(e.Message(), u"Operation not allowed on sorted list");
  }
  EXPECT_THROW(list.Put(0, u"b"), EStringListError);
  // An unsorted list ignores the duplicates policy.
  list.SetSorted(false);
  list.Add(u"a");
  EXPECT_EQ(list.Count(), 2);
}

TEST(StringListSorted, UserSortKeepsTheFlagOff) {
  TStringList list;
  for (const Char *s : {u"3", u"10", u"2"})
    list.Add(s);
  list.CustomSort([](TStringList *l, Integer a, Integer b) {
    return StrToInt(l->Get(a)) - StrToInt(l->Get(b));
  });
  EXPECT_EQ(list.CommaText(), u"2,3,10");
  EXPECT_FALSE(list.Sorted());
}

// ---- Index errors --------------------------------------------------------------------------

TEST(StringListErrors, IndexErrorsCarryTheIndex) {
  TStringList list;
  list.Add(u"a");
  auto message = [](auto &&f) {
    try {
      f();
    } catch (const EStringListError &e) {
      return e.Message();
    }
    return String(u"no exception");
  };
  // The original class library's wording (Free Pascal: "List index (5) out of bounds").
  EXPECT_EQ(message([&] { list.Put(5, u"x"); }), u"List index out of bounds (5)");
  EXPECT_EQ(message([&] { list.Delete(-1); }), u"List index out of bounds (-1)");
  EXPECT_EQ(message([&] { list.Insert(3, u"x"); }), u"List index out of bounds (3)");
  EXPECT_EQ(message([&] { (void)list.Get(1); }), u"List index out of bounds (1)");
  EXPECT_EQ(message([&] { (void)list.Objects(1); }), u"List index out of bounds (1)");
  EXPECT_EQ(message([&] { list.Exchange(0, 1); }), u"List index out of bounds (1)");
  list.Insert(1, u"end"); // inserting at Count appends
  EXPECT_EQ(list.Get(1), u"end");
}

// ---- Objects and ownership -----------------------------------------------------------------

struct Tracked : TObject {
  explicit Tracked(std::vector<int> &log, int id) : Log(log), Id(id) {}
  ~Tracked() override { Log.push_back(Id); }
  std::vector<int> &Log;
  int Id;
};

TEST(StringListObjects, ObjectsAreNotOwnedByDefault) {
  std::vector<int> log;
  Tracked a(log, 1);
  {
    TStringList list;
    list.AddObject(u"a", &a);
    EXPECT_EQ(list.Objects(0), &a);
    EXPECT_EQ(list.IndexOfObject(&a), 0);
    list.Delete(0);
  }
  EXPECT_TRUE(log.empty());
}

TEST(StringListObjects, AnOwningListFreesDeletedClearedAndRemainingObjects) {
  std::vector<int> log;
  {
    TStringList list(true);
    list.AddObject(u"one", new Tracked(log, 1));
    list.AddObject(u"two", new Tracked(log, 2));
    list.AddObject(u"three", new Tracked(log, 3));
    list.Delete(1);
    EXPECT_EQ(log, std::vector<int>{2});
    list.Move(0, 1); // moving must not free the moved object
    EXPECT_EQ(list.CommaText(), u"three,one");
    EXPECT_EQ(log, std::vector<int>{2});
    list.Clear();
    EXPECT_EQ(log, (std::vector<int>{2, 3, 1}));
    list.AddObject(u"four", new Tracked(log, 4));
  }
  EXPECT_EQ(log, (std::vector<int>{2, 3, 1, 4}));
}

// ---- Change events -------------------------------------------------------------------------

TEST(StringListEvents, UpdatesAreCountedAndReportedOnce) {
  TStringList list;
  std::vector<std::string> events;
  list.OnChanging = [&](TObject *sender) {
    EXPECT_EQ(sender, &list);
    events.push_back("changing");
  };
  list.OnChange = [&](TObject *) { events.push_back("change"); };
  list.Add(u"a");
  EXPECT_EQ(events, (std::vector<std::string>{"changing", "change"}));
  events.clear();
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add(u"b");
  list.SetCommaText(u"x,y,z");
  list.EndUpdate();
  EXPECT_EQ(events, std::vector<std::string>{"changing"});
  list.EndUpdate();
  EXPECT_EQ(events, (std::vector<std::string>{"changing", "change"}));
  events.clear();
  list.EndUpdate(); // unbalanced: ignored, later changes are still reported
  list.Delete(0);
  EXPECT_EQ(events, (std::vector<std::string>{"changing", "change"}));
  events.clear();
  list.SetText(u"1\r\n2\r\n3"); // one bracket around the whole assignment
  EXPECT_EQ(events, (std::vector<std::string>{"changing", "change"}));
}

// ---- Assign --------------------------------------------------------------------------------

TEST(StringListAssign, CopiesLinesObjectsAndSettings) {
  TObject marker;
  TStringList source(dupError, true, true);
  source.SetDelimiter(u';');
  source.AddObject(u"b", &marker);
  source.Add(u"a");
  TStringList target;
  target.Add(u"old");
  target.Assign(source);
  EXPECT_EQ(target.DelimitedText(), u"a;b");
  EXPECT_EQ(target.Objects(1), &marker);
  EXPECT_TRUE(target.Sorted());
  EXPECT_TRUE(target.CaseSensitive());
  EXPECT_EQ(target.Duplicates(), dupError);
  target.Assign(target); // assigning a list to itself keeps its lines
  EXPECT_EQ(target.Count(), 2);
}

class TNotAList : public TPersistent {};

TEST(StringListAssign, IncompatibleSourceRaisesConvertError) {
  TStringList list;
  TNotAList other;
  try {
    list.Assign(other);
    FAIL();
  } catch (const EConvertError &e) {
    EXPECT_EQ(e.Message(), u"Cannot assign a TNotAList to a TStringList");
  }
  try {
    other.Assign(list);
    FAIL();
  } catch (const EConvertError &e) {
    EXPECT_EQ(e.Message(), u"Cannot assign a TStringList to a TNotAList");
  }
  try {
    list.Assign(nullptr);
    FAIL();
  } catch (const EConvertError &e) {
    EXPECT_EQ(e.Message(), u"Cannot assign a nil to a TStringList");
  }
}

// ---- Texts beyond the probe ----------------------------------------------------------------

TEST(StringListText, DelimitedTextEndsAtNulAndKeepsNonAsciiUnquoted) {
  TStringList list;
  list.SetCommaText(String(u"a,b\0c,d", 7));
  EXPECT_EQ(list.CommaText(), u"a,b");
  list.Clear();
  list.Add(u"\u00E9t\u00E9 caf\u00E9");
  list.Add(u"\u4E2D\u6587");
  EXPECT_EQ(list.CommaText(), u"\"\u00E9t\u00E9 caf\u00E9\",\u4E2D\u6587");
  // Comma text leaves the list's own delimiter and quote alone.
  list.SetDelimiter(u';');
  list.SetQuoteChar(u'\'');
  list.SetCommaText(u"'x',y");
  EXPECT_EQ(list.Delimiter(), u';');
  EXPECT_EQ(list.QuoteChar(), u'\'');
  EXPECT_EQ(list.DelimitedText(), u"'''x''';y");
  // Written, comma text also uses ',' and '"' and quotes by them, not by the list's own.
  list.Add(u"p,q");
  list.Add(u"a;b");
  EXPECT_EQ(list.CommaText(), u"'x',y,\"p,q\",a;b");
}

TEST(StringListText, OtherLineBreaksAndNoTrailingBreak) {
  TStringList list;
  list.SetLineBreak(u"||");
  list.SetText(u"a||b\r\nc||");
  EXPECT_EQ(list.ToStringArray(), (std::vector<String>{u"a", u"b\r\nc"}));
  EXPECT_EQ(list.Text(), u"a||b\r\nc||");
  list.SetTrailingLineBreak(false);
  EXPECT_EQ(list.Text(), u"a||b\r\nc");
}

// ---- Files ---------------------------------------------------------------------------------

TEST(StringListFiles, LoadDetectsTheByteOrderMark) {
  test::TempDir dir;
  struct Case {
    std::string Bytes;
    const TEncoding *Expected;
    String Text;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBF"
       "caf\xC3\xA9\r\nx",
       TEncoding::UTF8(), u"caf\u00E9\r\nx\r\n"},
      {std::string("\xFF\xFE"
                   "a\0\xE9\0\n\0",
                   8),
       TEncoding::Unicode(), u"a\u00E9\r\n"},
      {std::string("\xFE\xFF\0a\0\xE9\0\n", 8), TEncoding::BigEndianUnicode(), u"a\u00E9\r\n"},
      // Without a mark the ANSI code page (Windows-1252) applies, even to UTF-8 bytes.
      {"\x80 caf\xC3\xA9", TEncoding::ANSI(), u"\u20AC caf\u00C3\u00A9\r\n"},
      {"\xEF\xBB"
       "x",
       TEncoding::ANSI(), u"\u00EF\u00BBx\r\n"},
      // An odd last byte of UTF-16 is dropped.
      {std::string("\xFF\xFE"
                   "a\0b",
                   5),
       TEncoding::Unicode(), u"a\r\n"},
      {"", TEncoding::ANSI(), u""},
  };
  for (const Case &c : cases) {
    test::WriteFileBytes(dir / "f.txt", c.Bytes);
    TStringList list;
    list.LoadFromFile(dir.Str("f.txt"));
    EXPECT_EQ(list.Encoding(), c.Expected) << c.Bytes;
    EXPECT_EQ(list.Text(), c.Text) << c.Bytes;
  }
}

TEST(StringListFiles, SaveUsesTheLoadedOrGivenEncoding) {
  test::TempDir dir;
  TStringList list;
  list.Add(u"\u20AC\u00E9");
  list.Add(u"\u4E2D");
  list.SaveToFile(dir.Str("ansi.txt"));
  EXPECT_EQ(test::ReadFileBytes(dir / "ansi.txt"), "\x80\xE9\r\n?\r\n");
  list.SaveToFile(dir.Str("utf8.txt"), TEncoding::UTF8());
  EXPECT_EQ(test::ReadFileBytes(dir / "utf8.txt"),
            "\xEF\xBB\xBF\xE2\x82\xAC\xC3\xA9\r\n\xE4\xB8\xAD\r\n");
  list.SetWriteBOM(false);
  list.SaveToFile(dir.Str("nobom.txt"), TEncoding::UTF8());
  EXPECT_EQ(test::ReadFileBytes(dir / "nobom.txt"), "\xE2\x82\xAC\xC3\xA9\r\n\xE4\xB8\xAD\r\n");

  TStringList utf16;
  utf16.LoadFromFile(dir.Str("utf8.txt"));
  utf16.SaveToFile(dir.Str("again.txt")); // keeps the encoding it was loaded with
  EXPECT_EQ(test::ReadFileBytes(dir / "again.txt"), test::ReadFileBytes(dir / "utf8.txt"));
  utf16.SaveToFile(dir.Str("utf16.txt"), TEncoding::Unicode());
  EXPECT_EQ(test::ReadFileBytes(dir / "utf16.txt"),
            std::string("\xFF\xFE\xAC\x20\xE9\0\r\0\n\0\x2D\x4E\r\0\n\0", 16));
}

TEST(StringListFiles, MissingFileAndUnwritablePathRaise) {
  test::TempDir dir;
  TStringList list;
  list.Add(u"keep");
  EXPECT_THROW(list.LoadFromFile(dir.Str("missing.txt")), EFOpenError);
  EXPECT_EQ(list.Count(), 1); // nothing lost
  EXPECT_THROW(list.SaveToFile(dir.Str("no/such/dir.txt")), EFCreateError);
}

} // namespace
} // namespace krx
