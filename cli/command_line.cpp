#include "cli/command_line.h"

#include <cstring>

#include "net/address_text.h"
#include "net/free_address.h"

namespace cli {
namespace {

bool IsOption(const std::string& argument) {
    return argument.size() > 1 && argument[0] == '-';
}

// Command words as a Windows user may type them: any letter case.
bool SameWord(const std::string& argument, const char* word) {
    if (argument.size() != std::strlen(word)) return false;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        char c = argument[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i]) return false;
    }
    return true;
}

struct CommandShape {
    const char* word;
    Command command;
    bool takesAll;
    bool takesJson;
    int arguments;
    const char* missing[2];  // what the usage calls each argument
};

constexpr CommandShape kCommands[] = {
    {"list", Command::kList, true, true, 0, {nullptr, nullptr}},
    {"assign", Command::kAssign, false, true, 2, {"MAC", "ADDRESS"}},
    {"open", Command::kOpen, false, false, 1, {"MAC|ADDRESS", nullptr}},
    {"diagnose", Command::kDiagnose, false, true, 0, {nullptr, nullptr}},
};

Request Fail(Request request, UsageError error, const std::string& detail) {
    request.error = error;
    request.detail = detail;
    return request;
}

}  // namespace

bool ParseMac(const std::string& text, std::uint8_t (&mac)[6]) {
    if (text.size() != 17 || (text[2] != ':' && text[2] != '-')) return false;
    const char separator = text[2];
    std::uint8_t bytes[6];
    for (int i = 0; i < 6; ++i) {
        const int high = net::DigitValue(text[i * 3], 16);
        const int low = net::DigitValue(text[i * 3 + 1], 16);
        if (high < 0 || low < 0 || (i < 5 && text[i * 3 + 2] != separator)) return false;
        bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    std::memcpy(mac, bytes, sizeof bytes);
    return true;
}

bool ParseDottedQuad(const std::string& text, std::uint32_t* address) {
    std::uint8_t octets[4];
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (at >= text.size() || text[at++] != '.')) return false;
        unsigned value = 0;
        int digits = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            if (++digits > 3) return false;
        }
        if (digits == 0 || value > 255) return false;
        octets[part] = static_cast<std::uint8_t>(value);
    }
    if (at != text.size()) return false;
    *address = net::AddressFromBytes(octets);
    return true;
}

bool ParseUnicastAddress(const std::string& text, std::uint32_t* address) {
    std::uint32_t value = 0;
    if (!ParseDottedQuad(text, &value)) return false;
    const std::uint32_t first = net::HostOrder(value) >> 24;
    if (first < 1 || first > 223 || first == 127) return false;
    *address = value;
    return true;
}

UsageError RefusalOnLink(net::AddressUse use) {
    switch (use) {
        case net::AddressUse::kNetworkAddress: return UsageError::kNetworkAddress;
        case net::AddressUse::kBroadcastAddress: return UsageError::kBroadcastAddress;
        case net::AddressUse::kPcAddress: return UsageError::kPcAddress;
        case net::AddressUse::kInUse: return UsageError::kAddressInUse;
        default: return UsageError::kNone;
    }
}

Request ParseCommandLine(const std::vector<std::string>& arguments) {
    Request request;
    std::vector<std::string> options;
    std::vector<std::string> words;
    bool help = false;
    bool version = false;
    const std::string* wait = nullptr;
    bool waitMissing = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--wait") {
            // Its value is the next argument, whatever it looks like.
            if (i + 1 < arguments.size()) {
                wait = &arguments[++i];
            } else {
                waitMissing = true;
            }
        } else if (argument == "--help" || argument == "-h" || argument == "/?") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else if (IsOption(argument)) {
            options.push_back(argument);
        } else {
            words.push_back(argument);
        }
    }
    // Asking for help always gets it, whatever else the line holds.
    if (help || version) {
        request.command = help ? Command::kHelp : Command::kVersion;
        return request;
    }
    if (words.empty()) {
        return options.empty() ? Fail(request, UsageError::kNoCommand, std::string())
                               : Fail(request, UsageError::kUnknownOption, options.front());
    }
    const CommandShape* shape = nullptr;
    for (const CommandShape& candidate : kCommands) {
        if (SameWord(words.front(), candidate.word)) shape = &candidate;
    }
    if (shape == nullptr) return Fail(request, UsageError::kUnknownCommand, words.front());
    request.command = shape->command;
    for (const std::string& option : options) {
        if (option == "--all" && shape->takesAll) {
            request.all = true;
        } else if (option == "--json" && shape->takesJson) {
            request.json = true;
        } else {
            return Fail(request, UsageError::kUnknownOption, option);
        }
    }
    if (waitMissing) return Fail(request, UsageError::kMissingArgument, "SECONDS");
    if (wait) {
        long seconds = 0;
        bool number = !wait->empty() && wait->size() <= 3;
        for (const char c : *wait) {
            number = number && c >= '0' && c <= '9';
            if (number) seconds = seconds * 10 + (c - '0');
        }
        if (!number || seconds > kMaxWaitSeconds) return Fail(request, UsageError::kBadWait, *wait);
        request.waitSeconds = static_cast<int>(seconds);
    }
    const int given = static_cast<int>(words.size()) - 1;
    if (given < shape->arguments) {
        return Fail(request, UsageError::kMissingArgument, shape->missing[given]);
    }
    if (given > shape->arguments) {
        return Fail(request, UsageError::kExtraArgument, words[shape->arguments + 1]);
    }
    if (shape->command == Command::kAssign) {
        request.byMac = true;
        if (!ParseMac(words[1], request.mac)) return Fail(request, UsageError::kBadMac, words[1]);
        if (!ParseUnicastAddress(words[2], &request.address)) {
            return Fail(request, UsageError::kBadAddress, words[2]);
        }
    } else if (shape->command == Command::kOpen) {
        request.byMac = ParseMac(words[1], request.mac);
        if (!request.byMac && !ParseDottedQuad(words[1], &request.address)) {
            return Fail(request, UsageError::kBadTarget, words[1]);
        }
    }
    return request;
}

}  // namespace cli
