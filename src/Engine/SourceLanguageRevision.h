// The operations of a source language that only some revisions of the engine have, taken in
// by TSourceLanguage as a base class. This revision has none.
#pragma once

namespace krx {

class TSourceLanguageRevision {};

} // namespace krx
