// What cvsetup's human output makes of its texts before a console or a file
// gets them: the table's columns, names made printable, the console's
// chunks. No console code, so that the text paths run anywhere.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace cli {

// WriteConsoleW takes at most about 64 KiB a call on older Windows.
constexpr std::size_t kConsoleChunk = 8192;

// What a terminal may show of text from the network or from Windows:
// controls (findings::IsControl), which could move the cursor or recolour
// the screen, become '?'.
std::wstring Printable(const std::wstring& text);

// Rows of cells under a header row, each column as wide as its widest cell
// on screen (East Asian wide characters take two columns), two blanks apart.
std::wstring Table(const std::vector<std::vector<std::wstring>>& rows);

// Where the console's chunk of UTF-16 text that starts at `at` ends: at most
// kConsoleChunk units on, and never between the halves of a surrogate pair,
// which the console would show as two unknown characters.
std::size_t ConsoleChunkEnd(const std::wstring& text, std::size_t at);

}  // namespace cli
