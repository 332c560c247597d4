// Fuzzes the text paths with what people and converters write there: the
// command line, and converter, adapter and program names through the
// findings' sentences, the console's table and the JSON document. What comes
// out is valid UTF-8 without a control character, and the document parses.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "cli/command_line.h"
#include "cli/console_text.h"
#include "cli/json_writer.h"
#include "findings/findings.h"
#include "findings/text_filter.h"
#include "net/exchange.h"

namespace {

#define CHECK(c) \
    ((c) ? (void)0 : (std::fprintf(stderr, "check failed: %s (line %d)\n", #c, __LINE__), std::abort()))

// C0, DEL and C1, by a rule of the fuzzer's own.
bool Control(std::uint32_t c, bool lineBreaks) { return (c < 0x20 && !(lineBreaks && c == '\n')) || (c >= 0x7F && c <= 0x9F); }

// Valid UTF-8, as the C library's decoder reads it, without a control (but
// the line breaks of a document's layout).
bool Printable(const std::string& text, bool lineBreaks = false) {
    static const bool utf8 = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
    std::mbstate_t state{};
    for (std::size_t at = 0, length = 0; utf8 && at < text.size(); at += length) {
        wchar_t c = 0;
        length = std::mbrtowc(&c, text.data() + at, text.size() - at, &state);
        if (length == 0 || length > 4 || Control(static_cast<std::uint32_t>(c), lineBreaks)) return false;
    }
    return utf8;
}

// A JSON string at `at`, as the writer escapes it.
bool String(const std::string& d, std::size_t& at) {
    if (at >= d.size() || d[at] != '"') return false;
    while (++at < d.size() && d[at] != '"') {
        if (static_cast<unsigned char>(d[at]) < 0x20) return false;
        if (d[at] != '\\') continue;
        if (++at < d.size() && d[at] == 'u') {
            if (d.size() < at + 5 || d.find_first_not_of("0123456789abcdef", at + 1) < at + 5) return false;
            at += 4;
        } else if (at >= d.size() || (d[at] != '"' && d[at] != '\\')) {
            return false;
        }
    }
    return at++ < d.size();
}

// The writer's layout of an array of strings: "[", each string on a line of
// its own two blanks in, a comma after all but the last, then "]" on its own.
bool ArrayOfStrings(const std::string& d) {
    if (d.compare(0, 4, "[\n  ") != 0) return false;
    for (std::size_t at = 4;; at += 4) {
        if (!String(d, at)) return false;
        if (d.compare(at, 4, ",\n  ") != 0) return d.compare(at, std::string::npos, "\n]\n") == 0;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<std::string> words(in.ConsumeIntegralInRange<std::size_t>(0, 5));
    for (std::string& word : words) word = in.ConsumeRandomLengthString(40);
    const cli::Request request = cli::ParseCommandLine(words);
    // A request without an error names its command; one with an error may name it too ("assign: missing MAC").
    CHECK(request.error != cli::UsageError::kNone || request.command != cli::Command::kNone);

    // A converter heard on a link of a named adapter, whose program the firewall may block.
    const std::string name = in.ConsumeBytesAsString(net::kNameLength);
    const std::string adapter = in.ConsumeRandomLengthString(80);
    const net::Link link{true, 0x0200A8C0, 0x00FFFFFF};
    std::uint8_t reply[net::kDatagramSize] = {1, net::kDiscoveryReply};
    std::memcpy(reply + net::kNameOffset, name.data(), name.size());
    net::StoreRecord(0, reply, link);
    net::ScanReport scan{1, {{link, in.ConsumeBool() ? 10013 : 0, in.ConsumeBool() ? 10040 : 0, 0, 0,
                              in.ConsumeIntegral<std::uint8_t>(), net::kExchangeCycles}}};
    findings::Facts facts{true, {{adapter, in.ConsumeBool() ? findings::AdapterKind::kTunnel : findings::AdapterKind::kWifi,
                                  true, {{link.address, 24, false}}, findings::Category::kDomain, true,
                                  {in.ConsumeBool() ? findings::RuleVerdict::kBlocks : findings::RuleVerdict::kNone}}},
                          {in.ConsumeRandomLengthString(40)}};
    const net::AssignReport assign{net::AssignOutcome::kFailed, 10050};
    findings::Inputs inputs;
    inputs.notice = in.PickValueInArray({findings::Notice::kNotFound, findings::Notice::kSeveral,
                                         findings::Notice::kAssignFailed});
    inputs.scan = &scan;
    inputs.records = net::g_deviceTable;
    inputs.recordCount = 1;
    inputs.facts = &facts;
    inputs.assign = &assign;
    inputs.assignAddress = in.ConsumeRandomLengthString(20);

    cli::JsonWriter json;
    json.BeginArray();
    for (const findings::Finding& finding : findings::BuildFindings(inputs)) {
        for (const auto language : {findings::Language::kEnglish, findings::Language::kJapanese}) {
            const std::string text = findings::RenderFinding(finding, language);
            CHECK(!text.empty() && Printable(text));
            json.String(text);
        }
    }
    json.String(name);
    json.String(adapter);
    json.EndArray();
    const std::string document = json.Document();
    CHECK(ArrayOfStrings(document) && Printable(document, true));
    // The console's cells, one code point a unit.
    std::wstring cells[2];
    for (std::size_t at = 0; at < name.size();) cells[0] += static_cast<wchar_t>(findings::NextCodePoint(name, at));
    for (std::size_t at = 0; at < adapter.size();) cells[1] += static_cast<wchar_t>(findings::NextCodePoint(adapter, at));
    const std::wstring table = cli::Table({{cli::Printable(cells[0]), cli::Printable(cells[1])}});
    CHECK(std::none_of(table.begin(), table.end(), [](wchar_t c) { return Control(static_cast<std::uint32_t>(c), true); }));
    return 0;
}
