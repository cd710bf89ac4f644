#include "XML/XMLFilers.h"

#include "Common/KRX.Exceptions.h"
#include "World/ClassEx.h"
#include "support/KrxTest.h"

namespace krx {
namespace {

using K = TXMLElementKind;

std::unique_ptr<TXMLDocument> ReadXML(StringView text) {
  auto doc = std::make_unique<TXMLDocument>();
  TXMLReader().ReadText(text, *doc);
  return doc;
}

// Reads bytes as a file would be read.
std::unique_ptr<TXMLDocument> ReadBytes(const std::string &bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(0);
  auto doc = std::make_unique<TXMLDocument>();
  TXMLReader().Read(stream, *doc);
  return doc;
}

String ErrorOf(StringView text) {
  try {
    ReadXML(text);
  } catch (const EKRXMLException &e) {
    return e.Message();
  }
  return u"<no error>";
}

TEST(XMLReader, BuildsTheElementTree) {
  auto doc = ReadXML(u"<?xml version=\"1.1\" encoding=\"UTF-8\"?>\r\n"
                     u"<Files language='Object Pascal' project=\"p.dproj\">\r\n"
                     u"  <File operation=\"add\" name=\"a.pas\"/>\r\n"
                     u"  <!-- a comment -->\r\n"
                     u"  <Note>\r\n    some text\r\n  </NOTE>\r\n"
                     u"</Files>\r\n");
  EXPECT_EQ(doc->Version, u"1.1");
  EXPECT_EQ(doc->Encoding, u"UTF-8");
  EXPECT_EQ(doc->Standalone, u"");
  ASSERT_EQ(doc->ChildCount(), 2);
  TXMLElement *decl = doc->Children(0);
  EXPECT_EQ(decl->Kind(), K::ekInstruction);
  EXPECT_EQ(decl->Name(), u"xml");
  EXPECT_EQ(decl->Text(), u"<?xml version=\"1.1\" encoding=\"UTF-8\"?>");
  TXMLElement *root = doc->Root();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Name(), u"Files");
  EXPECT_EQ(root->Attributes().Values(u"language"), u"Object Pascal");
  EXPECT_EQ(root->Attributes().Values(u"project"), u"p.dproj");
  ASSERT_EQ(root->ChildCount(), 2); // blank runs between tags make no text nodes
  TXMLElement *file = root->Children(0);
  EXPECT_EQ(file->Name(), u"File");
  EXPECT_EQ(file->ChildCount(), 0);
  EXPECT_EQ(file->Attributes().Strings(0), u"operation=add");
  EXPECT_EQ(file->Attributes().Strings(1), u"name=a.pas");
  TXMLElement *note = root->Children(1);
  ASSERT_EQ(note->ChildCount(), 1);
  EXPECT_EQ(note->Children(0)->Kind(), K::ekText);
  // Trimmed up to the first and last line break only.
  EXPECT_EQ(note->Children(0)->Text(), u"    some text");
}

TEST(XMLReader, EmptyInputGivesAnEmptyDocument) {
  auto doc = ReadXML(u"");
  EXPECT_EQ(doc->ChildCount(), 0);
  EXPECT_EQ(doc->Version, u"1.0");
  doc = ReadBytes("");
  EXPECT_EQ(doc->ChildCount(), 0);
}

TEST(XMLReader, NestingErrorsNameLineAndColumn) {
  EXPECT_EQ(ErrorOf(u"<a><b></a>"),
            u"Error Element start b does not match element end a in line 1 col 11");
  EXPECT_EQ(ErrorOf(u"<r>\r\n<x>\n</y>"),
            u"Error Element start x does not match element end y in line 3 col 5");
  EXPECT_EQ(ErrorOf(u"<a/></a>"), u"Error Illegal element end in line 1 col 9");
  EXPECT_EQ(ErrorOf(u"<a>\r<b>"), u"Error Unexpected end of document in line 2 col 4");
  // An error at the very first character reports column 2.
  EXPECT_EQ(ErrorOf(u"<!x>"), u"Error Unexpected entity in line 1 col 2");
  EXPECT_NO_THROW(ReadXML(u"<Abc></aBC>"));
}

TEST(XMLReader, TruncatedAndMalformedMarkupGivesClearErrors) {
  struct {
    const Char *Text;
    const Char *Error;
  } cases[] = {
      {u"<a><b att=\"x", u"Unterminated element"},
      {u"<a>\n  <!-- never closed", u"Unterminated element"},
      {u"<a><![CDATA[x", u"Unterminated element"},
      {u"<?xml version='1.0'", u"Unterminated element"},
      {u"<!DOCTYPE x", u"Unterminated DTD"},
      {u"<!DOCTYPE x [ <!ELEMENT x ANY>", u"Unterminated internal DTD"},
      {u"<a b='x>", u"Unterminated value string"},
      {u"<a ='x'>", u"Illegal attribute value definition"},
      {u"<a 'x'>", u"Illegal attribute value definition"},
  };
  for (auto &c : cases) {
    String msg = ErrorOf(c.Text);
    EXPECT_TRUE(StartsStr(String(u"Error ") + c.Error + u" in line ", msg)) << StringToUtf8(msg);
  }
  EXPECT_EQ(ErrorOf(u"<a>\n  <!-- never closed"), u"Error Unterminated element in line 2 col 4");
}

TEST(XMLReader, KeepsWhatWasBuiltBeforeAnError) {
  TXMLDocument doc;
  EXPECT_THROW(TXMLReader().ReadText(u"<a><b></c>", doc), EKRXMLException);
  ASSERT_NE(doc.Root(), nullptr);
  EXPECT_EQ(doc.Root()->Children(0)->Name(), u"b");
}

TEST(XMLReader, LenientAttributes) {
  auto doc = ReadXML(u"<a b x=1 y = 'q' z=\"1>2\" w=\"&lt;&#65;\"/>");
  const TDictionary &at = doc->Root()->Attributes();
  ASSERT_EQ(at.Count(), 6);
  EXPECT_EQ(at.Strings(0), u"b=");
  EXPECT_EQ(at.Strings(1), u"x=");
  EXPECT_EQ(at.Strings(2), u"1=");
  EXPECT_EQ(at.Strings(3), u"y=q");
  EXPECT_EQ(at.Strings(4), u"z=1>2"); // '>' inside double quotes does not end the tag
  EXPECT_EQ(at.Strings(5), u"w=<A");
  // A repeated attribute keeps one line, holding the last value.
  doc = ReadXML(u"<a k='1' K='2'/>");
  ASSERT_EQ(doc->Root()->Attributes().Count(), 1);
  EXPECT_EQ(doc->Root()->Attributes().Strings(0), u"k=2");
}

TEST(XMLReader, DecodesEntitiesAndCharacterReferences) {
  EXPECT_EQ(DecodeEntities(u"&#65;&#x41;&AMP;&Apos;&gt;&lT;&quot;"), u"AA&'><\"");
  EXPECT_EQ(DecodeEntities(u"&#X41;"), u"&#X41;"); // capital X is not a reference
  EXPECT_EQ(DecodeEntities(u"&nbsp; &# &#; &#6a; &amp"), u"&nbsp; &# &#; &#6a; &amp");
  // Beyond the basic plane: a surrogate pair.
  EXPECT_EQ(DecodeEntities(u"&#x1F600;&#128512;"), u"\U0001F600\U0001F600");
  // Not characters: left as written.
  EXPECT_EQ(DecodeEntities(u"&#0;&#xD800;&#x110000;&#99999999999;"),
            u"&#0;&#xD800;&#x110000;&#99999999999;");
  EXPECT_EQ(DecodeEntities(u"no references"), u"no references");
  // A reference is read only as far as its digits can go: a longer one stays text, and a
  // ';' far away is never looked for from every "&#" before it.
  EXPECT_EQ(DecodeEntities(u"&#x0000000041;&#0000000000065;"), u"A&#0000000000065;");
  EXPECT_EQ(DecodeEntities(u"&#1&#1&#1 x;"), u"&#1&#1&#1 x;");
}

TEST(XMLReader, TextBeginningWithAReferenceIsKept) {
  auto doc = ReadXML(u"<a>&#65;BC</a><b>&nbsp;x</b><c>&amp; y</c>");
  EXPECT_EQ(doc->Children(0)->Children(0)->Text(), u"ABC");
  EXPECT_EQ(doc->Children(1)->Children(0)->Text(), u"&nbsp;x");
  EXPECT_EQ(doc->Children(2)->Children(0)->Text(), u"& y");
}

TEST(XMLReader, CDataIsTakenLiterally) {
  auto doc = ReadXML(u"<a>x<![CDATA[ a &amp; <b> ]]>y</a>");
  TXMLElement *a = doc->Root();
  ASSERT_EQ(a->ChildCount(), 3);
  EXPECT_EQ(a->Children(0)->Text(), u"x");
  EXPECT_EQ(a->Children(1)->Text(), u" a &amp; <b> ");
  EXPECT_EQ(a->Children(1)->Kind(), K::ekText);
  EXPECT_EQ(a->Children(2)->Text(), u"y");
}

TEST(XMLReader, DocTypeAndInstructionsGoToTheDocument) {
  auto doc = ReadXML(u"<!DOCTYPE html PUBLIC \"-//x\" \"y.dtd\">\n<html><?pi data?></html>");
  ASSERT_EQ(doc->ChildCount(), 3);
  EXPECT_EQ(doc->Name(), u"html");
  TXMLElement *dtd = doc->Children(0);
  EXPECT_EQ(dtd->Kind(), K::ekDTD);
  EXPECT_EQ(dtd->Name(), u"DTD");
  EXPECT_EQ(dtd->Attributes().Strings(0), u"html=");
  EXPECT_EQ(doc->Children(2)->Kind(), K::ekInstruction);
  EXPECT_EQ(doc->Children(2)->Name(), u"Instruction");
  EXPECT_EQ(doc->Children(2)->Text(), u"<?pi data?>");
  EXPECT_EQ(doc->Root()->ChildCount(), 0);
  doc = ReadXML(u"<!DOCTYPE r [ <!ELEMENT r ANY> ]><r/>");
  EXPECT_EQ(doc->Name(), u"r");
  EXPECT_EQ(doc->Children(0)->Text(), u"<!DOCTYPE r [ <!ELEMENT r ANY> ]>");
  // White space may stand between the internal subset's "]" and the closing ">".
  doc = ReadXML(u"<!DOCTYPE r [ <!ATTLIST r a CDATA 'x]'> ]\r\n><r/>");
  EXPECT_EQ(doc->Children(0)->Text(), u"<!DOCTYPE r [ <!ATTLIST r a CDATA 'x]'> ]\r\n>");
  EXPECT_EQ(doc->Root()->Name(), u"r");
}

TEST(XMLReader, TextTrimming) {
  EXPECT_EQ(TrimXMLText(u"\r\n    word\r\n  "), u"    word");
  EXPECT_EQ(TrimXMLText(u" \t x \t "), u"x");
  EXPECT_EQ(TrimXMLText(u"\n\r\n a"), u"\n a");
  EXPECT_EQ(TrimXMLText(u"a \n\r"), u"a ");
  EXPECT_EQ(TrimXMLText(u"   "), u"");
}

TEST(XMLReader, EncodingsOfTheBytes) {
  // No byte-order mark: UTF-8 when valid, else the ANSI code page.
  EXPECT_EQ(ReadBytes("<a>\xC3\xA9\xE2\x82\xAC</a>")->Root()->Children(0)->Text(), u"\u00E9\u20AC");
  EXPECT_EQ(ReadBytes("<a>\xE9\x80</a>")->Root()->Children(0)->Text(), u"\u00E9\u20AC");
  EXPECT_EQ(ReadBytes("\xEF\xBB\xBF<a>\xC3\xA9</a>")->Root()->Children(0)->Text(), u"\u00E9");
  EXPECT_EQ(ReadBytes(std::string("\xFF\xFE<\0a\0/\0>\0", 10))->Root()->Name(), u"a");
  EXPECT_THROW(ReadBytes(std::string("\xFE\xFF\0<\0a\0/\0>", 10)), EUnsupportedTextEncoding);
  EXPECT_THROW(ReadBytes(std::string("\xFF\xFE\0\0<\0\0\0", 8)), EUnsupportedTextEncoding);
}

TEST(XMLReader, ACharacterZeroDoesNotEndTheText) {
  auto doc = ReadXML(String(u"<a/>\0<b/>", 9));
  ASSERT_EQ(doc->ChildCount(), 3);
  EXPECT_EQ(doc->Children(2)->Name(), u"b");
}

TEST(XMLReader, DeepNestingNeedsNoRecursion) {
  const int depth = 100000;
  String open, close;
  for (int i = 0; i < depth; ++i) {
    open += u"<d>";
    close += u"</d>";
  }
  auto doc = ReadXML(open + u"x" + close);
  const TXMLElement *e = doc->Root();
  int levels = 0;
  while (e && e->Kind() == K::ekElement) {
    ++levels;
    e = e->Children(0);
  }
  EXPECT_EQ(levels, depth);
  EXPECT_EQ(e->Text(), u"x");
  String msg = ErrorOf(open + close.substr(4));
  EXPECT_TRUE(StartsStr(u"Error Unexpected end of document", msg)) << StringToUtf8(msg);
  msg = ErrorOf(open + close + u"</d>");
  EXPECT_TRUE(StartsStr(u"Error Illegal element end", msg)) << StringToUtf8(msg);
}

TEST(XMLReader, HugeAttributesAndManyAttributes) {
  String big(4 * 1024 * 1024, u'v');
  auto doc = ReadXML(u"<a v=\"" + big + u"\"/>");
  EXPECT_EQ(doc->Root()->Attributes().ValueFromIndex(0), big);
  String many = u"<a";
  for (int i = 0; i < 50000; ++i)
    many += u" n" + IntToStr(i) + u"='" + IntToStr(i) + u"'";
  doc = ReadXML(many + u"/>");
  ASSERT_EQ(doc->Root()->Attributes().Count(), 50000);
  EXPECT_EQ(doc->Root()->Attributes().Strings(49999), u"n49999=49999");
}

TEST(XMLFiler, LoadsFilesAndReportsMissingOnes) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "x.xml", "\xEF\xBB\xBF<r a=\"\xC3\xA4\"/>");
  TXMLDocument doc;
  TXMLFiler::Load(dir.Str("x.xml"), doc);
  EXPECT_EQ(doc.Root()->Attributes().Values(u"a"), u"\u00E4");
  EXPECT_THROW(TXMLFiler::Load(dir.Str("missing.xml"), doc), EFOpenError);
  test::MakeFifo(dir / "pipe.xml"); // refused at once, never waited on
  EXPECT_THROW(TXMLFiler::Load(dir.Str("pipe.xml"), doc), EFOpenError);
}

} // namespace
} // namespace krx
