// Reads real XML files found on this machine with the reader and with Python's xml.etree,
// and compares the element trees: names (namespaces resolved as xml.etree resolves them),
// attributes and each element's character data.
#include "XML/XMLFilers.h"

#include "support/KrxTest.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace krx {
namespace {

// The system's Python when present (it starts faster than a shim found first on PATH).
std::string Python() {
  return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

namespace fs = std::filesystem;

std::string Utf8(StringView s) { return StringToUtf8(s); }

std::string StripWhite(const std::string &s) {
  std::string r;
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
      r.push_back(c);
  return r;
}

std::string NormAttr(std::string v) {
  std::string r;
  for (std::size_t i = 0; i < v.size(); ++i) {
    char c = v[i];
    if (c == '\r' && i + 1 < v.size() && v[i + 1] == '\n')
      continue;
    r.push_back(c == '\t' || c == '\r' || c == '\n' ? ' ' : c);
  }
  return r;
}

// Namespace declarations of the open elements, innermost last.
class TNamespaces {
public:
  void Push(const TDictionary &attrs) {
    std::map<std::string, std::string> frame;
    for (Integer i = 0; i < attrs.Count(); ++i) {
      std::string name = Utf8(attrs.Names(i)), value = Utf8(attrs.ValueFromIndex(i));
      if (name == "xmlns")
        frame[""] = value;
      else if (name.rfind("xmlns:", 0) == 0)
        frame[name.substr(6)] = value;
    }
    FFrames.push_back(std::move(frame));
  }
  void Pop() { FFrames.pop_back(); }
  // "{uri}local" as xml.etree names a prefixed (or, for elements, default-namespaced) name.
  std::string Resolve(const std::string &qname, bool element) const {
    auto colon = qname.find(':');
    std::string prefix = colon == std::string::npos ? "" : qname.substr(0, colon);
    std::string local = colon == std::string::npos ? qname : qname.substr(colon + 1);
    if (prefix.empty() && !element)
      return qname;
    if (prefix == "xml")
      return "{http://www.w3.org/XML/1998/namespace}" + local;
    for (auto it = FFrames.rbegin(); it != FFrames.rend(); ++it) {
      auto f = it->find(prefix);
      if (f != it->end())
        return f->second.empty() ? local : "{" + f->second + "}" + local;
    }
    return qname;
  }

private:
  std::vector<std::map<std::string, std::string>> FFrames;
};

// The same lines as etree_dump.py writes, from our tree, without recursion.
std::vector<std::string> DumpTree(const TXMLElement &root) {
  std::vector<std::string> out;
  TNamespaces ns;
  struct TFrame {
    const TXMLElement *Element;
    bool Done;
  };
  std::vector<TFrame> stack{{&root, false}};
  while (!stack.empty()) {
    TFrame f = stack.back();
    stack.pop_back();
    const TXMLElement &e = *f.Element;
    if (f.Done) {
      std::string text;
      for (Integer i = 0; i < e.ChildCount(); ++i)
        if (e.Children(i)->Kind() == TXMLElementKind::ekText)
          text += Utf8(e.Children(i)->Text());
      out.push_back("E " + StripWhite(text));
      ns.Pop();
      continue;
    }
    ns.Push(e.Attributes());
    out.push_back("S " + ns.Resolve(Utf8(e.Name()), true));
    std::vector<std::pair<std::string, std::string>> attrs; // sorted by name, as the script does
    for (Integer i = 0; i < e.Attributes().Count(); ++i) {
      std::string name = Utf8(e.Attributes().Names(i));
      if (name == "xmlns" || name.rfind("xmlns:", 0) == 0)
        continue;
      attrs.emplace_back(ns.Resolve(name, false), NormAttr(Utf8(e.Attributes().ValueFromIndex(i))));
    }
    std::sort(attrs.begin(), attrs.end());
    for (auto &[name, value] : attrs)
      out.push_back("A " + name + "=" + value);
    stack.push_back({&e, true});
    for (Integer i = e.ChildCount() - 1; i >= 0; --i)
      if (e.Children(i)->Kind() == TXMLElementKind::ekElement)
        stack.push_back({e.Children(i), false});
  }
  return out;
}

// A fixed sample of the XML files below /usr/share: every k-th of the sorted list.
std::vector<fs::path> SampleFiles(std::size_t wanted) {
  std::vector<fs::path> all;
  const std::vector<std::string> exts = {".xml", ".svg", ".xsl", ".ui", ".policy", ".xbel"};
  std::error_code ec;
  for (fs::recursive_directory_iterator
           it("/usr/share", fs::directory_options::skip_permission_denied, ec),
       end;
       it != end; it.increment(ec)) {
    if (ec)
      break;
    if (!it->is_regular_file(ec) || it->is_symlink(ec))
      continue;
    auto ext = it->path().extension().string();
    if (std::find(exts.begin(), exts.end(), ext) == exts.end())
      continue;
    auto size = it->file_size(ec);
    if (ec || size == 0 || size > 4 * 1024 * 1024)
      continue;
    if (it->path().string().find('\n') != std::string::npos)
      continue;
    all.push_back(it->path());
  }
  std::sort(all.begin(), all.end());
  std::vector<fs::path> sample;
  std::size_t step = std::max<std::size_t>(1, all.size() / wanted);
  for (std::size_t i = 0; i < all.size(); i += step)
    sample.push_back(all[i]);
  return sample;
}

TEST(XMLReaderAgainstEtree, RealFilesGiveTheSameElementTrees) {
  if (std::system((Python() + " -c 'import xml.etree.ElementTree' >/dev/null 2>&1").c_str()) != 0)
    GTEST_SKIP() << "python3 with xml.etree is not available";
  auto files = SampleFiles(200);
  if (files.size() < 20)
    GTEST_SKIP() << "too few XML files below /usr/share";

  test::TempDir tmp;
  {
    std::ofstream list(tmp / "list.txt");
    for (auto &p : files)
      list << p.string() << "\n";
  }
  const fs::path script = fs::path(KRX_SOURCE_DIR) / "tests/XML/etree_dump.py";
  std::string cmd = "timeout 240 " + Python() + " '" + script.string() + "' '" +
                    (tmp / "list.txt").string() + "' '" + (tmp / "out.txt").string() + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

  // Split the independent dump into one block per file.
  std::map<std::string, std::vector<std::string>> expected;
  {
    std::ifstream in(tmp / "out.txt");
    std::string line, current;
    while (std::getline(in, line)) {
      if (line.rfind("F ", 0) == 0) {
        current = line.substr(2);
        expected[current];
      } else {
        expected[current].push_back(line);
      }
    }
  }
  ASSERT_EQ(expected.size(), files.size());

  int compared = 0, mismatched = 0;
  for (auto &p : files) {
    const auto &want = expected[p.string()];
    if (!want.empty() && want.front().rfind("SKIP", 0) == 0)
      continue;
    TXMLDocument doc;
    try {
      TXMLFiler::Load(Utf8ToString(p.string()), doc);
    } catch (const Exception &e) {
      ADD_FAILURE() << p << ": the reader refused a file xml.etree reads: " << e.what();
      ++mismatched;
      continue;
    }
    ASSERT_NE(doc.Root(), nullptr) << p;
    auto got = DumpTree(*doc.Root());
    ++compared;
    if (got != want) {
      ++mismatched;
      std::size_t i = 0;
      while (i < got.size() && i < want.size() && got[i] == want[i])
        ++i;
      ADD_FAILURE() << p << ": first difference at line " << i << ": reader \""
                    << (i < got.size() ? got[i] : "<end>") << "\", xml.etree \""
                    << (i < want.size() ? want[i] : "<end>") << "\"";
    }
  }
  EXPECT_GE(compared, 20) << "too few files compared";
  EXPECT_EQ(mismatched, 0);
  RecordProperty("compared", compared);
}

} // namespace
} // namespace krx
