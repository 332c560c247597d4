// The one rule for text that comes from the network and from Windows
// (converter and adapter names) on its way to a person or a script: what a
// control character is, and what becomes of bytes that are not UTF-8. The
// notice and the console replace a control, the JSON writer escapes it.
#pragma once

#include <cstddef>
#include <string>

namespace findings {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// C0, DEL and C1 (U+0080-U+009F): what could break a line, or move a
// terminal's cursor or recolour it (0x9B is a terminal's CSI, and code page
// 1252 leaves 0x81, 0x8D, 0x8F, 0x90 and 0x9D as C1 when it decodes them).
constexpr bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// The code point of the UTF-8 sequence at `at`, and `at` moved past it. A
// byte that starts no valid sequence (a stray continuation, an overlong
// form, a surrogate, beyond U+10FFFF, cut short) reads as U+FFFD and moves
// `at` one byte on.
char32_t NextCodePoint(const std::string& utf8, std::size_t& at);

void AppendUtf8(std::string& out, char32_t c);

// The text as valid UTF-8 without a control: each control and each invalid
// byte becomes U+FFFD.
std::string Printable(const std::string& utf8);

}  // namespace findings
