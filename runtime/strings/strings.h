// The strings subsystem's public surface: the runtime string and its text
// operations, mathematics and random numbers, number and text arrays with
// TextMid, TextReplace and SplitText.
#pragma once

#include "strings/mathematics.h"
#include "strings/number_array.h"
#include "strings/runtime_string.h"
#include "strings/text_array.h"
