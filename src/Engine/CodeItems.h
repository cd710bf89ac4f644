// The code model: a tree of code items, rooted in a module item, that the Pascal parser builds
// from one source file. Every item knows its kind, name, visibility, the 0-based lines and
// 1-based columns of its declaration, its comment lines and its children; it answers which
// item lies at a position, follows line insertions and deletions, checks new names through
// its source language and writes its declaration back as wrapped source text.
//
// The unit also holds the source languages (identifier rules, reserved words, classifier
// kinds, declaration rendering), the identifier validators, the regions tree of a module and
// the process-wide code-item model.
//
// This header is the one users of the code model include. The model is declared by item
// family, each family's header beside the source file that defines it:
//   CodeItemBase.h       the enumerations, unit routines and TCodeItem (CodeItems.cpp)
//   CodeItemModules.h    module, sections, uses clauses, messages, regions (CodeItemModules.cpp)
//   CodeItemRoutines.h   members, routines, resolution clauses (CodeItemRoutines.cpp)
//   CodeItemTypes.h      types, classifiers, fields, properties (CodeItemTypes.cpp)
//   CodeItemLanguages.h  classifier kinds, validators, languages (CodeItemLanguages.cpp)
#pragma once

#include "Engine/CodeItemBase.h"
#include "Engine/CodeItemLanguages.h"
#include "Engine/CodeItemModules.h"
#include "Engine/CodeItemRoutines.h"
#include "Engine/CodeItemTypes.h"
