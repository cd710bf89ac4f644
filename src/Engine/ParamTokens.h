// What the parameter lists need of the tokenizers: white-space normalisation and comparison of
// declarations. In this revision the tokenizer unit offers them.
#pragma once

#include "Engine/Tokenizers.h"
