// Numbers typed into the editor's boxes, read the way the boxes read them.
#pragma once
#include <cstdint>
#include <string>

namespace zun {

// The number the text begins with: leading blanks, an optional sign, digits with an optional
// decimal point and exponent; reading stops at the first other character; no number gives 0.
double LeadingNumber(const std::string& text);

// To the nearest whole number, halves to the even neighbour.
int64_t RoundHalfEven(double value);

// A number box: the text cut to `keep` characters, its value clamped to 0..high, and the text
// the box then shows (corrected only when the value was out of range).
struct NumberBox {
  std::string text;
  int32_t value = 0;
};
NumberBox ReadNumberBox(const std::string& typed, size_t keep, int32_t high);

}  // namespace zun
