// Feeds arbitrary bytes to the XML reader as a file's content. The reader must either build
// a tree or raise its own errors; anything else (a crash, a sanitizer report, another
// exception type, a hang) is a finding.
#include "Common/KRX.Exceptions.h"
#include "World/ClassEx.h"
#include "XML/XMLFilers.h"

#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  krx::TMemoryStream stream;
  if (size > 0)
    stream.WriteBuffer(data, static_cast<krx::Integer>(size));
  stream.SetPosition(0);
  krx::TXMLDocument document;
  try {
    krx::TXMLReader().Read(stream, document);
    // Walk the tree once so that a broken link would be noticed by the sanitizers.
    std::vector<std::pair<const krx::TXMLElement *, krx::Integer>> stack{{&document, 0}};
    while (!stack.empty()) {
      auto &[element, next] = stack.back();
      if (next >= element->ChildCount()) {
        stack.pop_back();
        continue;
      }
      const krx::TXMLElement *child = element->Children(next++);
      if (child->Parent() != element)
        std::abort();
      stack.emplace_back(child, 0);
    }
  } catch (const krx::EKRXMLException &) {
  } catch (const krx::EUnsupportedTextEncoding &) {
  }
  return 0;
}
