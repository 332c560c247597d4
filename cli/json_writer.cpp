#include "cli/json_writer.h"

#include <cstdio>

#include "findings/text_filter.h"

namespace cli {

void JsonWriter::NewLine() {
    text_ += '\n';
    text_.append(hasItems_.size() * 2, ' ');
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (hasItems_.empty()) return;
    if (hasItems_.back()) text_ += ',';
    hasItems_.back() = true;
    NewLine();
}

void JsonWriter::Open(char bracket) {
    BeforeValue();
    text_ += bracket;
    hasItems_.push_back(false);
}

void JsonWriter::Close(char bracket) {
    const bool hadItems = hasItems_.back();
    hasItems_.pop_back();
    if (hadItems) NewLine();
    text_ += bracket;
}

void JsonWriter::Key(const char* name) {
    BeforeValue();
    Quote(name);
    text_ += ": ";
    afterKey_ = true;
}

void JsonWriter::String(const std::string& text) {
    BeforeValue();
    Quote(text);
}

void JsonWriter::Quote(const std::string& text) {
    text_ += '"';
    for (std::size_t at = 0; at < text.size();) {
        const char32_t c = findings::NextCodePoint(text, at);
        if (c == '"' || c == '\\') {
            text_ += '\\';
            text_ += static_cast<char>(c);
        } else if (findings::IsControl(c)) {
            char escaped[7];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            text_ += escaped;
        } else {
            findings::AppendUtf8(text_, c);
        }
    }
    text_ += '"';
}

void JsonWriter::Bool(bool value) {
    BeforeValue();
    text_ += value ? "true" : "false";
}

void JsonWriter::Int(std::int64_t value) {
    BeforeValue();
    text_ += std::to_string(value);
}

void JsonWriter::Null() {
    BeforeValue();
    text_ += "null";
}

}  // namespace cli
