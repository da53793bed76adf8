// Reading what the user typed or pasted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "Number.h"

// Either a number or, when the text is refused, the reason to show.
struct EntryResult {
    std::shared_ptr<Number> number;
    std::string error;
};

// The text without the blanks (spaces, tabs, line breaks) around it.
std::string_view trimBlanks(std::string_view text);

// The text with every blank and line break taken out, and every backslash that
// ends a line: numbers wrapped by dc, bc or a document come out whole.
std::string withoutLineBreaks(std::string_view text);

// Accepts an optional leading '-' and digits of the radix (letters in either
// case above 9), blanks around them ignored. The library's own parser would
// read anything, so the text is checked here.
EntryResult parseEntry(std::string_view text, int32_t precision, int32_t radix);
