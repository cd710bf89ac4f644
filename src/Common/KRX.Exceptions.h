// The root classes of the system's own failures.
#pragma once

#include "Platform/Rtl/SysUtils.h"

namespace krx {

KRX_DECLARE_EXCEPTION(EKRToolsException, Exception);
KRX_DECLARE_EXCEPTION(EKRXException, EKRToolsException);

// A text whose byte-order mark announces an encoding the system does not read
// (UTF-16 big-endian, UTF-32).
class EUnsupportedTextEncoding : public Exception {
public:
  explicit EUnsupportedTextEncoding(String message = {})
      : Exception(message.empty() ? String(u"Unsupported text encoding") : std::move(message)) {}
  const Char *ClassName() const noexcept override { return u"EUnsupportedTextEncoding"; }
};

} // namespace krx
