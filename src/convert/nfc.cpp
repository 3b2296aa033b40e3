#include "convert/nfc.h"

#include <glib.h>

#include <bitset>
#include <cstring>
#include <memory>

#include "convert/utf8.h"

namespace zun {
namespace {

// Every character that composing can change lies below U+30000.
constexpr uint32_t kTableEnd = 0x30000;

using CodePointSet = std::bitset<kTableEnd>;

struct NfcTables {
  CodePointSet mayChange;
  CodePointSet bindsBackward;
};

bool DecomposesBackTo(gunichar c) {
  gunichar first = 0;
  gunichar second = 0;
  gunichar composed = 0;
  return g_unichar_decompose(c, &first, &second) && second != 0 && g_unichar_compose(first, second, &composed) &&
         composed == c;
}

// Made once from GLib's tables, a few milliseconds.
std::unique_ptr<const NfcTables> MakeTables() {
  auto tables = std::make_unique<NfcTables>();
  // Characters that combine with the one before them: the second of every composition.
  for (gunichar c = 0; c < kTableEnd; ++c) {
    gunichar first = 0;
    gunichar second = 0;
    if (DecomposesBackTo(c) && g_unichar_decompose(c, &first, &second) && second < kTableEnd) {
      tables->bindsBackward.set(second);
    }
  }
  for (gunichar c = 0; c < kTableEnd; ++c) {
    gunichar first = 0;
    gunichar second = 0;
    const bool decomposes = g_unichar_decompose(c, &first, &second);
    if (g_unichar_combining_class(c) != 0) tables->bindsBackward.set(c);
    tables->mayChange[c] = tables->bindsBackward[c] || (decomposes && !DecomposesBackTo(c));
  }
  // A character whose decomposition starts with one that binds backward binds backward too.
  for (gunichar c = 0; c < kTableEnd; ++c) {
    gunichar decomposed[G_UNICHAR_MAX_DECOMPOSITION_LENGTH] = {};
    if (g_unichar_fully_decompose(c, FALSE, decomposed, G_UNICHAR_MAX_DECOMPOSITION_LENGTH) > 0 && decomposed[0] != c &&
        decomposed[0] < kTableEnd && tables->bindsBackward[decomposed[0]]) {
      tables->bindsBackward.set(c);
    }
  }
  tables->mayChange |= tables->bindsBackward;
  return tables;
}

const NfcTables& Tables() {
  static const std::unique_ptr<const NfcTables> tables = MakeTables();
  return *tables;
}

}  // namespace

bool MayChangeUnderNfc(uint32_t c) {
  return c < kTableEnd ? Tables().mayChange.test(c) : g_unichar_combining_class(c) != 0;
}

bool BindsToThePrevious(uint32_t c) {
  return c < kTableEnd ? Tables().bindsBackward.test(c) : g_unichar_combining_class(c) != 0;
}

std::optional<std::vector<uint8_t>> ComposeNfc(std::span<const uint8_t> utf8) {
  if (!ScanUtf8(utf8).valid) return std::nullopt;
  std::vector<uint8_t> out;
  out.reserve(utf8.size());
  // GLib stops at a NUL byte: the parts between them are composed one by one.
  size_t start = 0;
  while (start < utf8.size()) {
    const auto* nul = static_cast<const uint8_t*>(std::memchr(utf8.data() + start, 0, utf8.size() - start));
    const size_t end = nul != nullptr ? static_cast<size_t>(nul - utf8.data()) : utf8.size();
    if (end > start) {
      const char* part = reinterpret_cast<const char*>(utf8.data() + start);
      gchar* composed = g_utf8_normalize(part, static_cast<gssize>(end - start), G_NORMALIZE_NFC);
      if (composed == nullptr) return std::nullopt;
      out.insert(out.end(), composed, composed + std::strlen(composed));
      g_free(composed);
    }
    if (nul != nullptr) out.push_back(0);
    start = end + 1;
  }
  return out;
}

size_t LastNfcCut(std::span<const uint8_t> text) {
  for (size_t i = text.size(); i > 1; --i) {
    if (text[i - 1] < 0x80) return i - 1;
  }
  return 0;
}

}  // namespace zun
