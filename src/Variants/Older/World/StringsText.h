// A text stream over a string list (the list's own lines, not a copy). The older tokenizer
// reads its lines through one, read-only. A writable one keeps its list inside one update
// bracket (BeginUpdate .. EndUpdate) for as long as it holds the list, so the list's change
// events fire once, when the stream lets go.
#pragma once

#include "Platform/Rtl/Classes.h"
#include "World/TextStrm.h"

namespace krx {

inline constexpr const Char *SCannotWriteReadOnlyStrings = u"Cannot write to read only strings";

class TStringsText : public TTextStream {
public:
  // The list must be given; it is not owned.
  TStringsText(TStrings *AStrings, bool AReadOnly);
  ~TStringsText() override;
  TStringsText(const TStringsText &) = delete;
  TStringsText &operator=(const TStringsText &) = delete;

  Integer LineNo() override { return LineIndex; }
  bool Eof() override { return LineIndex >= Strings->Count(); }
  // The line at LineIndex, then the index moves on; at the end the list's index error.
  String ReadLine() override;
  void Reset() override { LineIndex = 0; }
  // Appends to the line at LineIndex (or adds a line at the end); the index stays.
  void Write(StringView text) override;
  // Replaces the line at LineIndex (or adds a line at the end); the index moves on.
  void WriteLine(StringView text) override;
  // Takes another list (nil lets go of the current one), then resets.
  virtual void SetStrings(TStrings *AStrings);

  Integer LineIndex = 0;
  bool ReadOnly = false;
  TStrings *Strings = nullptr;

private:
  void CheckWritable() const;
};

} // namespace krx
