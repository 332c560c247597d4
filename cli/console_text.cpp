#include "cli/console_text.h"

#include <algorithm>

#include "findings/text_filter.h"

namespace cli {
namespace {

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

std::wstring Printable(const std::wstring& text) {
    std::wstring out = text;
    for (wchar_t& c : out) {
        if (findings::IsControl(static_cast<char32_t>(c))) c = L'?';
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

std::size_t ConsoleChunkEnd(const std::wstring& text, std::size_t at) {
    std::size_t end = std::min(at + kConsoleChunk, text.size());
    if (end < text.size() && end - at > 1 && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) --end;
    return end;
}

}  // namespace cli
