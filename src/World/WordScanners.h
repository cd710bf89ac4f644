// Splits one line into words at delimiter characters, keeping quoted texts together.
#pragma once

#include "Platform/Rtl/CharSet.h"
#include "Platform/Rtl/Intf.h"
#include "Platform/Rtl/SysUtils.h"

#include <vector>

namespace krx {

// A word of the scanned text: its 1-based start and its length.
struct TWordIndex {
  Integer Start = 0;
  Integer Length = 0;
};

class TWordScanner {
public:
  TWordScanner();

  // Scans `line` and returns the number of words found.
  Integer Scan(StringView line);
  // Word `index` (0-based, below Count); an empty word gives ''.
  String GetWord(Integer index) const;
  String GetFirstWord() const { return GetWord(0); }
  String GetLastWord() const { return GetWord(Count - 1); }
  // Words `from` to `to`, separated by `separator`, each trimmed when `trim` is set; ''
  // when `to` < `from`.
  String Words(Integer from, Integer to, StringView separator, bool trim) const;
  const String &GetText() const { return Text; }

  // Reports empty words: between two delimiters, for an empty quoted text, and after a
  // final delimiter.
  bool KeepEmpty = false;
  Integer Capacity = 0;
  String Text;
  std::vector<TWordIndex> Items;
  TSysCharSet Delimiters;
  Char QuoteChar = u'"';
  Integer Count = 0;

private:
  void AddWord(Integer start, Integer length);
  bool IsDelimiter(Char c) const { return Delimiters.Contains(c); }
};

class IWordScanner : public virtual IInterface {
public:
  KRX_GUID("{7B3DA169-CE40-451C-859A-CABB69688946}");
  virtual String Words(Integer from, Integer to, StringView separator, bool trim) = 0;
  virtual bool GetKeepEmpty() = 0;
  virtual Integer GetCount() = 0;
  virtual String GetFirstWord() = 0;
  virtual String GetLastWord() = 0;
  virtual String GetText() = 0;
  virtual TSysCharSet GetDelimiters() = 0;
  virtual Char GetQuoteChar() = 0;
  virtual String GetWord(Integer index) = 0;
  virtual void SetKeepEmpty(bool value) = 0;
  virtual Integer Scan(StringView line) = 0;
  virtual void SetDelimiters(const TSysCharSet &value) = 0;
  virtual void SetQuoteChar(Char value) = 0;
};

// The reference-counted form: forwards to a scanner of its own.
class TIWordScanner : public TInterfacedObject, public IWordScanner {
public:
  String Words(Integer from, Integer to, StringView separator, bool trim) override {
    return FScanner.Words(from, to, separator, trim);
  }
  bool GetKeepEmpty() override { return FScanner.KeepEmpty; }
  Integer GetCount() override { return FScanner.Count; }
  String GetFirstWord() override { return FScanner.GetFirstWord(); }
  String GetLastWord() override { return FScanner.GetLastWord(); }
  String GetText() override { return FScanner.GetText(); }
  TSysCharSet GetDelimiters() override { return FScanner.Delimiters; }
  Char GetQuoteChar() override { return FScanner.QuoteChar; }
  String GetWord(Integer index) override { return FScanner.GetWord(index); }
  void SetKeepEmpty(bool value) override { FScanner.KeepEmpty = value; }
  Integer Scan(StringView line) override { return FScanner.Scan(line); }
  void SetDelimiters(const TSysCharSet &value) override { FScanner.Delimiters = value; }
  void SetQuoteChar(Char value) override { FScanner.QuoteChar = value; }

private:
  TWordScanner FScanner;
};

} // namespace krx
