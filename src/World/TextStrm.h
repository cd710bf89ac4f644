// Line-oriented text reading and writing, whatever holds the text. TTextString keeps the
// whole text in memory and is the text source of the tokenizers.
#pragma once

#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/System.h"
#include "World/ClassEx.h"

namespace krx {

class TTextStream : public TObject {
public:
  // Resets, then reads every line, each followed by CR LF.
  virtual String GetText();
  virtual TTextEncoding GetEncoding() { return Encoding; }
  virtual Integer LineNo() { return 0; }
  // Resets, then writes each piece of the text between CR LF pairs with WriteLine. A text
  // ending in CR LF gives no final empty line; a lone CR or LF stays inside its piece.
  virtual void SetText(StringView text);
  virtual bool Eof() = 0;
  virtual String ReadLine() = 0;
  virtual void Reset() = 0;
  // Raises EInvalidOperation "Write not supported on this device".
  virtual void Write(StringView text);
  virtual void WriteLine(StringView text) = 0;

  void WriteEmptyLine() { WriteLine(u""); }

protected:
  TTextEncoding Encoding = teAnsi;
};

class TTextString : public TTextStream {
public:
  TTextString() = default;
  // Reads the file with byte-order-mark detection (which also sets the encoding). A refused
  // encoding raises EUnsupportedTextEncoding.
  explicit TTextString(const String &fileName);

  // The text unchanged.
  String GetText() override { return FText; }
  Integer LineNo() override { return FLineNo; }
  // Replaces the text and resets; no splitting.
  void SetText(StringView text) override;
  bool Eof() override { return Length(FText) < FPos; }
  // The text up to the next CR, LF or CR LF (which is consumed). At the end raises EReadError
  // "Read beyond end of text".
  String ReadLine() override;
  void Reset() override;
  // Appends and moves past the end.
  void Write(StringView text) override;
  void WriteLine(StringView text) override;

  // A line read so far ended in a CR or LF that was not part of a CR LF pair.
  bool LoneLineBreak() const { return FLoneLineBreak; }
  const String &Text() const { return FText; }
  // 1-based index of the next character to read.
  Integer Pos() const { return FPos; }

private:
  bool FLoneLineBreak = false;
  Integer FLineNo = 0;
  Integer FPos = 1;
  String FText;
};

} // namespace krx
