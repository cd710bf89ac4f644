// Exceptions, assertions, string helpers, conversions and Format, with the class library's
// rules. Positions in the 1-based helpers (Copy, Pos, Delete, Insert) are 1-based.
#pragma once

#include "Platform/Rtl/Types.h"

#include <exception>
#include <initializer_list>
#include <variant>

namespace krx {

// ---- Format arguments ---------------------------------------------------------------------

// One argument of Format, as an element of Pascal's `array of const`.
class FormatArg {
public:
  FormatArg(int v) : Value(static_cast<Int64>(v)) {}
  FormatArg(long v) : Value(static_cast<Int64>(v)) {}
  FormatArg(long long v) : Value(static_cast<Int64>(v)) {}
  FormatArg(unsigned v) : Value(static_cast<Int64>(v)) {}
  FormatArg(unsigned long v) : Value(static_cast<UInt64>(v)) {}
  FormatArg(unsigned long long v) : Value(static_cast<UInt64>(v)) {}
  FormatArg(double v) : Value(v) {}
  FormatArg(Char v) : Value(String(1, v)) {}
  FormatArg(const Char *v) : Value(String(v ? v : u"")) {}
  FormatArg(StringView v) : Value(String(v)) {}
  FormatArg(const String &v) : Value(v) {}
  FormatArg(bool) = delete; // Pascal's Format has no boolean conversion

  std::variant<Int64, UInt64, double, String> Value;
};

using FormatArgs = std::initializer_list<FormatArg>;

// Format with the class library's directives: %[index:][-][width][.prec]type, types
// d u x e f g n s, '*' for width or precision, %% for a percent sign. A missing or
// wrongly typed argument raises EConvertError.
String Format(StringView fmt, FormatArgs args);
String Format(StringView fmt, const std::vector<FormatArg> &args);

// ---- Exceptions ---------------------------------------------------------------------------

class Exception : public std::exception {
public:
  explicit Exception(String message) : FMessage(std::move(message)) {}
  // Exception.CreateFmt
  Exception(StringView fmt, FormatArgs args) : FMessage(Format(fmt, args)) {}
  ~Exception() override = default;

  const String &Message() const noexcept { return FMessage; }
  void SetMessage(String message) {
    FMessage = std::move(message);
    FUtf8.clear();
  }
  const char *what() const noexcept override;
  virtual const Char *ClassName() const noexcept { return u"Exception"; }

private:
  String FMessage;
  mutable std::string FUtf8;
};

#define KRX_DECLARE_EXCEPTION(Name, Base)                                                          \
  class Name : public Base {                                                                       \
  public:                                                                                          \
    using Base::Base;                                                                              \
    const ::krx::Char *ClassName() const noexcept override { return u"" #Name; }                   \
  }

KRX_DECLARE_EXCEPTION(EAbort, Exception);
KRX_DECLARE_EXCEPTION(EConvertError, Exception);
KRX_DECLARE_EXCEPTION(EListError, Exception);
KRX_DECLARE_EXCEPTION(EStringListError, Exception);
KRX_DECLARE_EXCEPTION(EInvalidOperation, Exception);
KRX_DECLARE_EXCEPTION(EAssertionFailed, Exception);
KRX_DECLARE_EXCEPTION(EIntfCastError, Exception);
KRX_DECLARE_EXCEPTION(EInvalidCast, Exception);
KRX_DECLARE_EXCEPTION(EInvalidPointer, Exception);
KRX_DECLARE_EXCEPTION(EArgumentException, Exception);
KRX_DECLARE_EXCEPTION(EArgumentOutOfRangeException, EArgumentException);
KRX_DECLARE_EXCEPTION(ENotSupportedException, Exception);
KRX_DECLARE_EXCEPTION(EEncodingError, Exception);
KRX_DECLARE_EXCEPTION(EOSError, Exception);
KRX_DECLARE_EXCEPTION(EInOutError, Exception);
KRX_DECLARE_EXCEPTION(EStreamError, Exception);
KRX_DECLARE_EXCEPTION(EFileStreamError, EStreamError);
KRX_DECLARE_EXCEPTION(EFCreateError, EFileStreamError);
KRX_DECLARE_EXCEPTION(EFOpenError, EFileStreamError);
KRX_DECLARE_EXCEPTION(EFilerError, EStreamError);
KRX_DECLARE_EXCEPTION(EReadError, EFilerError);
KRX_DECLARE_EXCEPTION(EWriteError, EFilerError);
KRX_DECLARE_EXCEPTION(EComponentError, Exception);
KRX_DECLARE_EXCEPTION(EPropertyError, Exception);

// The operating system's text for an error number (errno).
String SysErrorMessage(Integer errorCode);
// The calling thread's last error number (errno).
Integer GetLastError();
// Raises EOSError "System Error.  Code: %d.<CRLF>%s" for the error number.
[[noreturn]] void RaiseLastOSError(Integer errorCode);
[[noreturn]] void RaiseLastOSError();

// Abort: raises the silent exception.
[[noreturn]] void Abort();

[[noreturn]] void AssertFailed(const char *condition, const char *file, int line);

// Always on; raises EAssertionFailed naming the C++ file and line.
#define KR_ASSERT(cond)                                                                            \
  do {                                                                                             \
    if (!(cond))                                                                                   \
      ::krx::AssertFailed(#cond, __FILE__, __LINE__);                                              \
  } while (false)

// ---- 1-based string helpers ---------------------------------------------------------------

String Copy(StringView s, Integer index, Integer count);
inline String Copy(StringView s, Integer index) { return Copy(s, index, 0x7FFFFFFF); }
Integer Pos(StringView sub, StringView s, Integer offset = 1);
void Delete(String &s, Integer index, Integer count);
void Insert(StringView sub, String &s, Integer index);
inline Integer Length(StringView s) { return static_cast<Integer>(s.size()); }

String Trim(StringView s);
// What Trim keeps, as a view of s.
StringView TrimView(StringView s);
String TrimLeft(StringView s);
String TrimRight(StringView s);

// ASCII-only case handling.
String UpperCase(StringView s);
String LowerCase(StringView s);
Integer CompareText(StringView a, StringView b);
bool SameText(StringView a, StringView b);
Integer CompareStr(StringView a, StringView b);
bool SameStr(StringView a, StringView b);

// Unicode case handling (simple case mapping; ordinal order after folding).
String AnsiUpperCase(StringView s);
String AnsiLowerCase(StringView s);
Integer AnsiCompareText(StringView a, StringView b);
bool AnsiSameText(StringView a, StringView b);
Integer AnsiCompareStr(StringView a, StringView b);
bool AnsiSameStr(StringView a, StringView b);
bool StartsText(StringView subText, StringView text);
bool EndsText(StringView subText, StringView text);
bool StartsStr(StringView subText, StringView text);
bool EndsStr(StringView subText, StringView text);
bool ContainsText(StringView text, StringView subText);

String StringOfChar(Char c, Integer count);
String QuotedStr(StringView s);
String AnsiQuotedStr(StringView s, Char quote);
// Removes the quotes and undoubles inner ones; returns s unchanged if it does not start
// with the quote.
String AnsiDequotedStr(StringView s, Char quote);

enum class TReplaceFlag { rfReplaceAll, rfIgnoreCase };
struct TReplaceFlags {
  bool ReplaceAll = false;
  bool IgnoreCase = false;
};
inline constexpr TReplaceFlags rfReplaceAll{true, false};
inline constexpr TReplaceFlags rfIgnoreCase{false, true};
inline constexpr TReplaceFlags rfReplaceAllIgnoreCase{true, true};
String StringReplace(StringView s, StringView oldPattern, StringView newPattern,
                     TReplaceFlags flags);

// ---- Conversions --------------------------------------------------------------------------

String IntToStr(Int64 value);
String UIntToStr(UInt64 value);
String IntToHex(Int64 value, Integer digits);
// Leading blanks, a sign, '$', 'x' or '0x' hexadecimal, nothing trailing, no overflow.
bool TryStrToInt(StringView s, Integer &value);
bool TryStrToInt64(StringView s, Int64 &value);
Integer StrToInt(StringView s);
Int64 StrToInt64(StringView s);
Integer StrToIntDef(StringView s, Integer def);
Int64 StrToInt64Def(StringView s, Int64 def);
// 15 significant digits, general format, '.' as decimal separator.
String FloatToStr(double value);
bool TryStrToFloat(StringView s, double &value);
double StrToFloat(StringView s);
// "-1"/"0", or "True"/"False" when useBoolStrs.
String BoolToStr(bool value, bool useBoolStrs = false);
bool TryStrToBool(StringView s, bool &value);
bool StrToBool(StringView s);
bool StrToBoolDef(StringView s, bool def);

// ---- Characters ---------------------------------------------------------------------------

inline bool CharInSet(Char c, std::u16string_view set) {
  return set.find(c) != std::u16string_view::npos;
}

// A line break as the platform writes it in text files of the system: CRLF.
inline constexpr const Char *sLineBreak = u"\r\n";

} // namespace krx
