#pragma once
// Check values of texts, as the security library receives texts: the text's UTF-16LE
// units, with the number of characters as the length. The library therefore covers the
// first L bytes of the UTF-16LE form of an L-character text (about its first half);
// that is the stored file format and must stay so.

#include <cstdint>
#include <string>

namespace tollwick {

// ZelkorSecVerify over `text` (a text of the code page) handed over as above, with `seed`.
// Error 6 for a text longer than a Long can count.
int32_t checkValueOfText(const std::string& text, int32_t seed);

}  // namespace tollwick
