// Every text of every finding, in English and Japanese: the notice and the
// console companion both render from here. A text names its arguments in
// braces; {adapter} is the adapter with the PC's address on it ({Adapter}
// at the start of a sentence), {adapterName} the adapter's name alone.
// Where the facts single a case out, its own text (a variant) says what to
// do there.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <utility>

#include "findings/findings.h"
#include "findings/text_filter.h"
#include "net/socket_port.h"

namespace findings {
namespace {

const char* const kCodeNames[] = {
#define CS_FINDING_NAME(type, code, notices) code,
    CS_FINDING_CODES(CS_FINDING_NAME)
#undef CS_FINDING_NAME
};

struct Text {
    Code code;
    int variant;  // 0, or 1 for the case its Values single out
    const char* english;
    const char* japanese;
};

const Text kTexts[] = {
    {Code::kNoAdapterConnected, 0,
     "No network adapter is connected. Plug the Ethernet cable into the PC and the converter, switch the "
     "converter on, and scan again.",
     "接続されているネットワーク アダプターがありません。コンピュータとコンバータを LAN ケーブルでつなぎ、"
     "コンバータの電源を入れてから、もう一度検索してください。"},
    {Code::kAdapterWithoutAddress, 0,
     "{Adapter} is connected but has no IPv4 address yet. When no DHCP server answers, Windows gives itself "
     "an address about 10 seconds after the cable goes in: wait a few seconds, then scan again. If it still "
     "has none, set the adapter's IPv4 settings to \"Obtain an IP address automatically\", or give it a fixed "
     "address.",
     "{adapter}は接続されていますが、IPv4 アドレスがまだありません。DHCP サーバーが応答しない場合は、ケーブルを"
     "接続してから 10 秒ほどで Windows が自動的にアドレスを割り当てます。数秒待ってから、もう一度検索してください。"
     "それでもアドレスがない場合は、アダプターの IPv4 の設定を「IP アドレスを自動的に取得する」にするか、固定の "
     "IP アドレスを設定してください。"},
    {Code::kAdapterWithoutAddress, 1,
     "{Adapter} is connected but has no IPv4 address yet; the program waited {seconds} seconds for one. When "
     "no DHCP server answers, Windows gives itself an address about 10 seconds after the cable goes in. If it "
     "still has none, set the adapter's IPv4 settings to \"Obtain an IP address automatically\", or give it a "
     "fixed address, then scan again.",
     "{adapter}は接続されていますが、IPv4 アドレスがまだありません。このプログラムは {seconds} 秒待ちました。"
     "DHCP サーバーが応答しない場合は、ケーブルを接続してから 10 秒ほどで Windows が自動的にアドレスを割り当て"
     "ます。それでもアドレスがない場合は、アダプターの IPv4 の設定を「IP アドレスを自動的に取得する」にするか、"
     "固定の IP アドレスを設定してから、もう一度検索してください。"},
    {Code::kOtherModelAnswered, 0,
     "A device of a model this program does not set up answered through {adapter}: \"{name}\" at {address}. "
     "Connect the converter you want to set up, then scan again.",
     "{adapter}で、このプログラムが対応していない機種の機器「{name}」({address}) が応答しました。"
     "設定するコンバータを接続してから、もう一度検索してください。"},
    {Code::kFirewallMayBlock, 0,
     "Windows Firewall is on for the {category} network of {adapter}, and no rule allows {program} there: "
     "the firewall may drop the converter's answers (Windows lets unicast answers to a broadcast back in for "
     "three seconds, but not answers sent as broadcasts). Allow {program} through Windows Firewall for "
     "{category} networks, then scan again.",
     "{adapter}の{category} ネットワークでは Windows ファイアウォールが有効で、{program} を許可する規則が"
     "ありません。コンバータの応答がファイアウォールで破棄されるおそれがあります (Windows は、ブロードキャスト"
     "へのユニキャストの応答は 3 秒間受け入れますが、ブロードキャストで返された応答は受け入れません)。"
     "Windows ファイアウォールで、{program} に{category} ネットワークでの通信を許可してから、もう一度検索"
     "してください。"},
    {Code::kFirewallMayBlock, 1,
     "Windows Firewall is on for the {category} network of {adapter}, and a rule blocks {program} there: "
     "the firewall drops the converter's answers. Turn that rule off under Inbound Rules in Windows "
     "Firewall's advanced settings, then scan again.",
     "{adapter}の{category} ネットワークでは Windows ファイアウォールが有効で、{program} をブロックする"
     "規則があります。コンバータの応答はファイアウォールで破棄されます。Windows ファイアウォールの詳細設定の"
     "「受信の規則」でその規則を無効にしてから、もう一度検索してください。"},
    {Code::kVpnConnected, 0,
     "The VPN or tunnel adapter \"{adapterName}\" is connected. Some VPNs cut the PC off from the local "
     "network: disconnect it, then scan again.",
     "VPN またはトンネルのアダプター「{adapterName}」が接続されています。VPN によってはローカル ネットワークと"
     "通信できなくなります。VPN を切断してから、もう一度検索してください。"},
    {Code::kVpnConnected, 1,
     "A VPN or tunnel adapter without a name is connected. Some VPNs cut the PC off from the local network: "
     "disconnect it, then scan again.",
     "名前のない VPN またはトンネルのアダプターが接続されています。VPN によってはローカル ネットワークと"
     "通信できなくなります。VPN を切断してから、もう一度検索してください。"},
    {Code::kLinkSendFailed, 0,
     "The search could not send through {adapter} (error {error}). Check that the adapter is enabled and "
     "that no security software blocks this program, then scan again.",
     "{adapter}から検索要求を送信できませんでした (エラー {error})。アダプターが有効になっていること、"
     "セキュリティ ソフトがこのプログラムをブロックしていないことを確認してから、もう一度検索してください。"},
    {Code::kLinkReceiveFailed, 0,
     "The search stopped listening through {adapter} after a receive error (error {error}). Scan again; if "
     "the error comes back, disable the adapter and enable it again.",
     "{adapter}で受信エラーが起きたため、このアダプターでの検索を打ち切りました (エラー {error})。もう一度検索"
     "してください。エラーが続く場合は、アダプターをいったん無効にしてから有効に戻してください。"},
    {Code::kLinkReceiveFailed, 1,
     "The search stopped listening through {adapter} (error {error}): a device on that network sent a "
     "datagram of another size than a converter's answer. Nothing is wrong with the adapter. Scan again; if "
     "this comes back, unplug the other devices on that network or wire the converter straight to the PC, "
     "then scan again.",
     "{adapter}で、コンバータの応答とは大きさの違うデータグラムを受信したため、このアダプターでの検索を打ち切り"
     "ました (エラー {error})。そのネットワーク上のほかの機器が送信したもので、アダプターの問題ではありません。"
     "もう一度検索してください。繰り返し起きる場合は、そのネットワークのほかの機器を外すか、コンバータを"
     "コンピュータに直接つないでから、もう一度検索してください。"},
    {Code::kScanFailed, 0,
     "The search failed (error {error}). Check that the network adapter is enabled, then scan again.",
     "検索に失敗しました (エラー {error})。ネットワーク アダプターが有効になっていることを確認してから、"
     "もう一度検索してください。"},
    {Code::kScanFailed, 1,
     "The search failed for want of memory or system resources (error {error}). Close some programs, then "
     "scan again.",
     "メモリまたはシステム リソースが不足しているため、検索に失敗しました (エラー {error})。いくつかのプログラム"
     "を終了してから、もう一度検索してください。"},
    {Code::kSearchedNoAnswer, 0,
     "Nothing answered through {adapter}. Check that the converter is wired to the PC and switched on.",
     "{adapter}で検索しましたが、応答はありませんでした。コンバータがコンピュータに LAN ケーブルでつながり、"
     "電源が入っていることを確認してください。"},
    {Code::kSearchedNoAnswer, 1,
     "No converter answered through {adapter} (other datagrams ignored: {dropped}). Check that the converter "
     "is wired to the PC and switched on.",
     "{adapter}で検索しましたが、コンバータからの応答はありませんでした (コンバータの応答ではないデータグラム "
     "{dropped} 個を無視しました)。コンバータがコンピュータに LAN ケーブルでつながり、電源が入っていることを"
     "確認してください。"},
    {Code::kConverterFound, 0,
     "Found \"{name}\" at {address} through {adapter}. Disconnect it if it is not the converter you want to "
     "set up.",
     "{adapter}でコンバータ「{name}」({address}) が見つかりました。設定するコンバータでなければ、取り外して"
     "ください。"},
    {Code::kAddressRefused, 0,
     "The converter refused the address {address}. Choose an address that no other device uses, then run the "
     "program again.",
     "コンバータは IP アドレス {address} を受け付けませんでした。ほかの機器が使っていないアドレスを指定して、"
     "もう一度実行してください。"},
    {Code::kAddressNoAnswer, 0,
     "The converter did not answer the request for the address {address}. Check that it is still switched on "
     "and wired to the PC, then run the program again.",
     "IP アドレス {address} の設定要求に、コンバータから応答がありませんでした。コンバータの電源が入っていて、"
     "コンピュータに LAN ケーブルでつながっていることを確認してから、もう一度実行してください。"},
    {Code::kPageNotAnswering, 0,
     "Nothing answered at {address} through {adapter} for 15 seconds, so the setup page was not opened. Check "
     "that the converter is switched on and wired to the PC, then run the program again.",
     "{adapter}で {address} に 15 秒間接続を試みましたが、応答がなかったため、設定ページを開きませんでした。"
     "コンバータの電源が入っていて、コンピュータに LAN ケーブルでつながっていることを確認してから、もう一度"
     "実行してください。"},
    {Code::kPageNotAnswering, 1,
     "The device at {address} refused the connection to its setup page through {adapter} for 15 seconds: the "
     "converter's web server may still be starting. Wait a minute, then run the program again.",
     "{adapter}で {address} の設定ページへの接続が 15 秒間拒否されました。コンバータの Web サーバーがまだ"
     "起動中の可能性があります。1 分ほど待ってから、もう一度実行してください。"},
    {Code::kAddressExchangeFailed, 0,
     "The request for the address {address} failed (error {error}). Check that the network adapter is still "
     "connected, then run the program again.",
     "IP アドレス {address} の設定要求に失敗しました (エラー {error})。ネットワーク アダプターが接続されている"
     "ことを確認してから、もう一度実行してください。"},
};

// What a finding's text fills in, and which of its code's texts says it:
// the case its facts single out (a rule that blocks the program, datagrams
// that were dropped, a wait for the adapter's address, an adapter without a
// name, a datagram of another size,
// the system out of resources) has a text of its own, variant 1.
struct Values {
    std::string adapter, link, name, address, error, dropped, program, seconds;
    Category category = Category::kPublic;
    int variant = 0;
};

Values Through(const std::string& adapter, const std::string& link) {
    Values values;
    values.adapter = adapter;
    values.link = link;
    return values;
}
Values Device(const std::string& name, const std::string& address, const std::string& adapter,
              const std::string& link) {
    Values values = Through(adapter, link);
    values.name = name;
    values.address = address;
    return values;
}
Values Failure(const std::string& adapter, const std::string& link, int error, int singledOut) {
    Values values = Through(adapter, link);
    values.error = std::to_string(error);
    values.variant = error == singledOut;
    return values;
}
Values AtAddress(const std::string& address) {
    Values values;
    values.address = address;
    return values;
}

Values ValuesOf(const NoAdapterConnected&) { return Values(); }
Values ValuesOf(const AdapterWithoutAddress& f) {
    Values values = Through(f.adapter, "");
    values.seconds = std::to_string(f.waitedSeconds);
    values.variant = f.waitedSeconds > 0;  // the program waited, and says so
    return values;
}
Values ValuesOf(const OtherModelAnswered& f) { return Device(f.name, f.address, f.adapter, f.link); }
Values ValuesOf(const FirewallMayBlock& f) {
    Values values = Through(f.adapter, f.link);
    values.category = f.category;
    values.program = f.program;
    values.variant = f.rule == RuleVerdict::kBlocks;
    return values;
}
Values ValuesOf(const VpnConnected& f) {
    Values values = Through(f.adapter, "");
    values.variant = f.adapter.empty();
    return values;
}
Values ValuesOf(const LinkSendFailed& f) { return Failure(f.adapter, f.link, f.error, 0); }
Values ValuesOf(const LinkReceiveFailed& f) { return Failure(f.adapter, f.link, f.error, net::kErrMessageSize); }
Values ValuesOf(const ScanFailed& f) { return Failure("", "", f.error, net::kErrNoBuffers); }
Values ValuesOf(const SearchedNoAnswer& f) {
    Values values = Through(f.adapter, f.link);
    values.dropped = std::to_string(f.dropped);
    values.variant = f.dropped != 0;
    return values;
}
Values ValuesOf(const ConverterFound& f) { return Device(f.name, f.address, f.adapter, f.link); }
Values ValuesOf(const AddressRefused& f) { return AtAddress(f.address); }
Values ValuesOf(const AddressNoAnswer& f) { return AtAddress(f.address); }
Values ValuesOf(const AddressExchangeFailed& f) {
    Values values = Failure("", "", f.error, 0);
    values.address = f.address;
    return values;
}
Values ValuesOf(const PageNotAnswering& f) {
    Values values = Through(f.adapter, f.link);
    values.address = f.address;
    values.variant = f.met == net::PageMet::kRefused;
    return values;
}

// The adapter as a sentence names it: by name, with the PC's address on it
// where there is one; an adapter Windows gives no name is one without.
std::string AdapterPhrase(const std::string& name, const std::string& link, Language language) {
    const bool japanese = language == Language::kJapanese;
    std::string adapter = japanese ? "名前のないアダプター" : "an adapter without a name";
    if (!name.empty()) adapter = japanese ? "アダプター「" + name + "」" : "the adapter \"" + name + "\"";
    if (link.empty()) return adapter;
    return japanese ? adapter + (name.empty() ? " (" : "(") + link + ") " : adapter + " (" + link + ")";
}

std::string CategoryPhrase(Category category, Language language) {
    const bool english = language == Language::kEnglish;
    switch (category) {
        case Category::kPrivate: return english ? "private" : "プライベート";
        case Category::kDomain: return english ? "domain" : "ドメイン";
        case Category::kPublic: break;
    }
    return english ? "public" : "パブリック";
}

// One pass over the text, so that an argument holding "{name}" stays as it is.
std::string Fill(const char* text, const std::vector<std::pair<const char*, std::string>>& values) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        const char* close = *p == '{' ? std::strchr(p, '}') : nullptr;
        const auto value = !close ? values.end() : std::find_if(values.begin(), values.end(), [&](const auto& v) {
            return std::strlen(v.first) == static_cast<std::size_t>(close - p - 1) &&
                   std::strncmp(v.first, p + 1, close - p - 1) == 0;
        });
        if (value == values.end()) {
            out += *p;
        } else {
            out += value->second;
            p = close;
        }
    }
    return out;
}

}  // namespace

const char* CodeName(Code code) {
    const auto index = static_cast<std::size_t>(code);
    return index < sizeof kCodeNames / sizeof kCodeNames[0] ? kCodeNames[index] : "";
}

bool BelongsTo(Code code, Notice notice) {
    static constexpr unsigned kNotices[] = {
#define CS_FINDING_NOTICES(type, code, notices) notices,
        CS_FINDING_CODES(CS_FINDING_NOTICES)
#undef CS_FINDING_NOTICES
    };
    const auto index = static_cast<std::size_t>(code);
    const auto bit = static_cast<unsigned>(notice);
    return index < std::size(kNotices) && bit < 32 && (kNotices[index] & NoticeBit(notice)) != 0;
}

bool ShowsFindings(Notice notice) {
    for (std::size_t code = 0; code < std::variant_size_v<Finding>; ++code) {
        if (BelongsTo(static_cast<Code>(code), notice)) return true;
    }
    return false;
}

std::string RenderFinding(const Finding& finding, Language language) {
    Values values = std::visit([](const auto& f) { return ValuesOf(f); }, finding);
    const Text* chosen = nullptr;
    for (const Text& text : kTexts) {
        if (text.code == CodeOf(finding) && (!chosen || text.variant == values.variant)) chosen = &text;
    }
    if (!chosen) return std::string();
    for (std::string* text : {&values.adapter, &values.link, &values.name, &values.address, &values.program}) {
        *text = Printable(*text);
    }
    const std::string adapter = AdapterPhrase(values.adapter, values.link, language);
    std::string capitalised = adapter;
    if (language == Language::kEnglish && !adapter.empty()) {
        capitalised[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(adapter[0])));
    }
    return Fill(language == Language::kJapanese ? chosen->japanese : chosen->english,
                {{"adapter", adapter},
                 {"Adapter", capitalised},
                 {"adapterName", values.adapter},
                 {"name", values.name},
                 {"address", values.address},
                 {"category", CategoryPhrase(values.category, language)},
                 {"error", values.error},
                 {"dropped", values.dropped},
                 {"program", values.program},
                 {"seconds", values.seconds}});
}

}  // namespace findings
