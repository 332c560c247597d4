// Where cvsetup writes, and the texts it writes there: Unicode to a console,
// UTF-8 to a file or a pipe, every text from the string table in the user's
// language.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "cli/console_text.h"

namespace cli {

class TextStream {
public:
    virtual ~TextStream() = default;
    // text uses "\n" for line ends.
    virtual void Write(const std::wstring& text) = 0;
};

// Standard output or standard error as the process was given it. A console
// takes UTF-16 (WriteConsoleW), whatever its code page; anything else gets
// UTF-8. Lines end in CR LF on both, as Windows tools expect.
class StdStream final : public TextStream {
public:
    explicit StdStream(DWORD which);
    void Write(const std::wstring& text) override;

private:
    HANDLE handle_;
    bool console_;
};

// String id of cvsetup's table in the program's language, else English.
std::wstring Text(UINT id);
// The string with %1..%9 replaced by the arguments in that order.
std::wstring Format(UINT id, std::initializer_list<std::wstring> arguments);

std::wstring Widen(const std::string& ascii);
// An 8-bit name from the network, decoded with the system's code page as the
// program's list shows it.
std::wstring DecodeName(const char* name);

}  // namespace cli
