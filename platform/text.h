// UTF-8 text measured and cut in characters, never inside one.
#pragma once

#include <cstddef>
#include <string>

namespace qm {

std::size_t charCount(const std::string& utf8);
// The first `n` characters (all of it when shorter).
std::string leftChars(const std::string& utf8, std::size_t n);
// The last `n` characters (all of it when shorter).
std::string rightChars(const std::string& utf8, std::size_t n);
// Everything but the last `n` characters (empty when shorter).
std::string dropRightChars(const std::string& utf8, std::size_t n);
// ASCII lower case; other characters pass unchanged.
std::string asciiLower(std::string text);
// True when the text is well-formed UTF-8.
bool isValidUtf8(const std::string& text);
// True when the text holds a character that turns the text around or breaks its line without
// being seen (U+202A to U+202E, U+2066 to U+2069, U+2028, U+2029): a name holding one can pass
// for another, "gpj.exe" shown as a picture.
bool hasDeceptiveMarks(const std::string& utf8);
// Windows-1252 bytes to UTF-8.
std::string fromWindows1252(const std::string& bytes);

}  // namespace qm
