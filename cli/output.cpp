#include "cli/output.h"

#include "findings/windows_facts.h"
#include "win/language.h"

namespace cli {
StdStream::StdStream(DWORD which) : handle_(GetStdHandle(which)) {
    DWORD mode = 0;
    console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE &&
               GetConsoleMode(handle_, &mode) != 0;
}

void StdStream::Write(const std::wstring& text) {
    if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE || text.empty()) return;
    std::wstring lines;
    for (const wchar_t c : text) {
        if (c == L'\n') lines += L'\r';
        lines += c;
    }
    if (console_) {
        for (std::size_t at = 0, end = 0; at < lines.size(); at = end) {
            end = ConsoleChunkEnd(lines, at);
            DWORD written = 0;
            if (!WriteConsoleW(handle_, lines.data() + at, static_cast<DWORD>(end - at), &written, nullptr)) return;
        }
        return;
    }
    const std::string bytes = win::ToUtf8(lines);
    for (std::size_t at = 0; at < bytes.size();) {
        DWORD written = 0;
        if (!WriteFile(handle_, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written,
                       nullptr) ||
            written == 0) {
            return;  // a closed pipe: nobody reads any more
        }
        at += written;
    }
}

std::wstring Text(UINT id) { return win::LoadText(id); }

std::wstring Format(UINT id, std::initializer_list<std::wstring> arguments) {
    const std::wstring pattern = Text(id);
    const std::vector<std::wstring> values(arguments);
    std::wstring out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t next = i + 1 < pattern.size() ? pattern[i + 1] : L'\0';
        if (pattern[i] == L'%' && next >= L'1' && next <= L'9') {
            const std::size_t index = static_cast<std::size_t>(next - L'1');
            if (index < values.size()) out += values[index];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring DecodeName(const char* name) {
    return win::FromUtf8(findings::SystemCodePageToUtf8(name));
}

}  // namespace cli
