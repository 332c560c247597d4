#include "cli/output.h"

#include <algorithm>

#include "findings/windows_facts.h"
#include "win/language.h"

namespace cli {
namespace {

// WriteConsoleW takes at most about 64 KiB a call on older Windows.
constexpr std::size_t kConsoleChunk = 8192;

int ColumnsOf(wchar_t c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6);
    return wide ? 2 : 1;
}

std::size_t ColumnsOf(const std::wstring& text) {
    std::size_t columns = 0;
    for (const wchar_t c : text) columns += static_cast<std::size_t>(ColumnsOf(c));
    return columns;
}

}  // namespace

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
        for (std::size_t at = 0; at < lines.size(); at += kConsoleChunk) {
            const DWORD length = static_cast<DWORD>(std::min(kConsoleChunk, lines.size() - at));
            DWORD written = 0;
            if (!WriteConsoleW(handle_, lines.data() + at, length, &written, nullptr)) return;
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

std::wstring Printable(const std::wstring& text) {
    std::wstring out = text;
    for (wchar_t& c : out) {
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) c = L'?';
    }
    return out;
}

std::wstring Table(const std::vector<std::vector<std::wstring>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], ColumnsOf(row[i]));
    }
    std::wstring out;
    for (const auto& row : rows) {
        std::wstring line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line.append(widths[i] - ColumnsOf(row[i]) + 2, L' ');
        }
        out += line + L"\n";
    }
    return out;
}

}  // namespace cli
