#include "Platform/Rtl/System.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace krx {

String ClassNameOf(const std::type_info &type) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
  std::string name = status == 0 && demangled ? demangled.get() : type.name();
  // Drop the namespaces of the outermost name, but not those inside template arguments.
  std::size_t cut = 0, depth = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '<')
      ++depth;
    else if (name[i] == '>' && depth > 0)
      --depth;
    else if (depth == 0 && name[i] == ':' && i + 1 < name.size() && name[i + 1] == ':')
      cut = i + 2;
  }
  return Utf8ToString(std::string_view(name).substr(cut));
}

String TObject::ClassName() const { return ClassNameOf(typeid(*this)); }

} // namespace krx
