#include "editor/number_text.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace zun {

double LeadingNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
  }
  if (digits == 0) return 0;
  size_t end = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
      while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
      end = j;
    }
  }
  return std::strtod(text.substr(start, end - start).c_str(), nullptr);
}

int64_t RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value > 0 ? INT64_MAX / 2 : INT64_MIN / 2;
  if (value > 1e15) return static_cast<int64_t>(1e15);
  if (value < -1e15) return static_cast<int64_t>(-1e15);
  return static_cast<int64_t>(std::nearbyint(value));  // the default rounding mode: halves to even
}

NumberBox ReadNumberBox(const std::string& typed, size_t keep, int32_t high) {
  NumberBox box{typed.substr(0, keep), 0};
  const int64_t value = RoundHalfEven(LeadingNumber(box.text));
  if (value < 0) {
    box.text = "0";
  } else if (value > high) {
    box.value = high;
    box.text = std::to_string(high);
  } else {
    box.value = static_cast<int32_t>(value);
  }
  return box;
}

}  // namespace zun
