#include "Platform/Vcl/FileCtrl.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

TEST(MinimizeName, ReplacesFoldersFromTheLeftAndKeepsTheName) {
  const auto oneEach = [](const String &s) { return static_cast<Integer>(s.size()); };
  struct {
    const char16_t *Name;
    Integer Max;
    const char16_t *Expected;
  } cases[] = {
      {u"/home/ann/proj/trace.txt", 24, u"/home/ann/proj/trace.txt"}, // fits
      {u"/home/ann/proj/trace.txt", 23, u".../ann/proj/trace.txt"},
      {u"/home/ann/proj/trace.txt", 18, u".../proj/trace.txt"},
      {u"/home/ann/proj/trace.txt", 13, u".../trace.txt"},
      {u"/home/ann/proj/trace.txt", 12, u"trace.txt"},
      {u"/home/ann/proj/trace.txt", 3, u"trace.txt"}, // the name is never cut
      {u"rel//dir/a.pas", 10, u".../a.pas"},
      {u"rel//dir/a.pas", 13, u".../dir/a.pas"},
      {u"C:\\Work\\x.pas", 10, u"...\\x.pas"},
      {u"noslash.pas", 2, u"noslash.pas"},
      {u"/x.pas", 3, u"x.pas"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(MinimizeName(c.Name, oneEach, c.Max), String(c.Expected))
        << StringToUtf8(c.Name) << " " << c.Max;
}

} // namespace
} // namespace krx
