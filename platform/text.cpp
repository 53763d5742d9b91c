#include "platform/text.h"

#include <array>

namespace qm {
namespace {

bool isContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Byte offset where character `n` starts (size() when there are fewer).
std::size_t offsetOfChar(const std::string& s, std::size_t n) {
  std::size_t i = 0;
  while (i < s.size() && n > 0) {
    ++i;
    while (i < s.size() && isContinuation(static_cast<unsigned char>(s[i])))
      ++i;
    --n;
  }
  return i;
}

}  // namespace

std::size_t charCount(const std::string& utf8) {
  std::size_t n = 0;
  for (char c : utf8) {
    if (!isContinuation(static_cast<unsigned char>(c))) ++n;
  }
  return n;
}

std::string leftChars(const std::string& utf8, std::size_t n) {
  return utf8.substr(0, offsetOfChar(utf8, n));
}

std::string rightChars(const std::string& utf8, std::size_t n) {
  const std::size_t count = charCount(utf8);
  if (n >= count) return utf8;
  return utf8.substr(offsetOfChar(utf8, count - n));
}

std::string dropRightChars(const std::string& utf8, std::size_t n) {
  const std::size_t count = charCount(utf8);
  if (n >= count) return {};
  return utf8.substr(0, offsetOfChar(utf8, count - n));
}

std::string asciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool isValidUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t len = 0;
    char32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > text.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const auto cc = static_cast<unsigned char>(text[i + k]);
      if (!isContinuation(cc)) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static constexpr std::array<char32_t, 5> kMin = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

std::string fromWindows1252(const std::string& bytes) {
  // 0x80..0x9F differ from Latin-1; the five unassigned ones map to themselves as C1 controls.
  static constexpr std::array<char16_t, 32> kHigh = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    char32_t cp = b;
    if (b >= 0x80 && b < 0xA0) cp = kHigh[b - 0x80];
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

bool hasDeceptiveMarks(const std::string& utf8) {
  for (std::size_t i = 0; i + 2 < utf8.size(); ++i) {
    if (static_cast<unsigned char>(utf8[i]) != 0xE2) continue;
    const auto second = static_cast<unsigned char>(utf8[i + 1]);
    const auto third = static_cast<unsigned char>(utf8[i + 2]);
    if (second == 0x80 && third >= 0xA8 && third <= 0xAE) return true;  // U+2028 to U+202E
    if (second == 0x81 && third >= 0xA6 && third <= 0xA9) return true;  // U+2066 to U+2069
  }
  return false;
}

}  // namespace qm
