// One JSON document for scripts, built in memory: UTF-8 in, UTF-8 out,
// indented two blanks a level so that a support ticket stays readable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

class JsonWriter {
public:
    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    // The next value's name inside an object.
    void Key(const char* name);
    // text is read as UTF-8, each invalid byte as U+FFFD; control characters
    // (findings::IsControl), quotes and backslashes are escaped.
    void String(const std::string& text);
    void Bool(bool value);
    void Int(std::int64_t value);
    void Null();

    // The document, ending with a line break.
    std::string Document() const { return text_ + "\n"; }

private:
    void Open(char bracket);
    void Close(char bracket);
    // Before a value: the comma and line break an array element needs, or
    // nothing after a key.
    void BeforeValue();
    void NewLine();
    void Quote(const std::string& text);

    std::string text_;
    std::vector<bool> hasItems_;  // one per open bracket
    bool afterKey_ = false;
};

}  // namespace cli
