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
#include "net/socket_port.h"

namespace findings {
namespace {

const char* const kCodeNames[] = {
#define CS_FINDING_NAME(name, code, notices) code,
    CS_FINDING_CODES(CS_FINDING_NAME)
#undef CS_FINDING_NAME
};

struct Text {
    Code code;
    int variant;  // 0, or 1 for the case VariantOf singles out
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
    {Code::kAddressExchangeFailed, 0,
     "The request for the address {address} failed (error {error}). Check that the network adapter is still "
     "connected, then run the program again.",
     "IP アドレス {address} の設定要求に失敗しました (エラー {error})。ネットワーク アダプターが接続されている"
     "ことを確認してから、もう一度実行してください。"},
};

// Where each code keeps its arguments (finding_codes.h); -1: it has none.
struct Layout {
    Code code;
    int name, address, adapter, link, category, rule, error, dropped, program;
    int seconds = -1;
};
const Layout kLayouts[] = {
    {Code::kNoAdapterConnected, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {Code::kAdapterWithoutAddress, -1, -1, 0, -1, -1, -1, -1, -1, -1, 1},
    {Code::kOtherModelAnswered, 0, 1, 2, 3, -1, -1, -1, -1, -1},
    {Code::kFirewallMayBlock, -1, -1, 0, 1, 2, 3, -1, -1, 4},
    {Code::kVpnConnected, -1, -1, 0, -1, -1, -1, -1, -1, -1},
    {Code::kLinkSendFailed, -1, -1, 0, 1, -1, -1, 2, -1, -1},
    {Code::kLinkReceiveFailed, -1, -1, 0, 1, -1, -1, 2, -1, -1},
    {Code::kScanFailed, -1, -1, -1, -1, -1, -1, 0, -1, -1},
    {Code::kSearchedNoAnswer, -1, -1, 0, 1, -1, -1, -1, 2, -1},
    {Code::kConverterFound, 0, 1, 2, 3, -1, -1, -1, -1, -1},
    {Code::kAddressRefused, -1, 0, -1, -1, -1, -1, -1, -1, -1},
    {Code::kAddressNoAnswer, -1, 0, -1, -1, -1, -1, -1, -1, -1},
    {Code::kAddressExchangeFailed, -1, 0, -1, -1, -1, -1, 1, -1, -1},
};

std::string Argument(const Finding& finding, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < finding.arguments.size() ? finding.arguments[index]
                                                                                      : std::string();
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

// The case a finding's facts single out, where its own text says what to do:
// a rule that blocks the program, datagrams that were dropped, a wait for
// the adapter's address, an adapter without a name, a datagram of another size, the system out of resources.
int VariantOf(const Finding& finding, const Layout& layout) {
    const std::string error = Argument(finding, layout.error);
    switch (finding.code) {
        case Code::kFirewallMayBlock: return Argument(finding, layout.rule) == "blocks";
        case Code::kSearchedNoAnswer: return Argument(finding, layout.dropped) != "0";
        case Code::kVpnConnected: return Argument(finding, layout.adapter).empty();
        case Code::kAdapterWithoutAddress: {
            const std::string seconds = Argument(finding, layout.seconds);
            return !seconds.empty() && seconds != "0";
        }
        case Code::kLinkReceiveFailed: return error == std::to_string(net::kErrMessageSize);
        case Code::kScanFailed: return error == std::to_string(net::kErrNoBuffers);
        default: return 0;
    }
}

std::string CategoryPhrase(const std::string& category, Language language) {
    if (language == Language::kEnglish) return category;
    return category == "private" ? "プライベート" : category == "domain" ? "ドメイン" : "パブリック";
}

// One pass over the text, so that an argument holding "{name}" stays as it is.
std::string Fill(const char* text, const std::vector<std::pair<const char*, std::string>>& values) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        const char* close = *p == '{' ? std::strchr(p, '}') : nullptr;
        const auto value = std::find_if(values.begin(), values.end(), [&](const auto& v) {
            return close && std::strlen(v.first) == static_cast<std::size_t>(close - p - 1) &&
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

std::string RenderFinding(const Finding& finding, Language language) {
    const auto layout = std::find_if(std::begin(kLayouts), std::end(kLayouts),
                                     [&](const Layout& l) { return l.code == finding.code; });
    if (layout == std::end(kLayouts)) return std::string();
    const int variant = VariantOf(finding, *layout);
    const Text* chosen = nullptr;
    for (const Text& text : kTexts) {
        if (text.code == finding.code && (!chosen || text.variant == variant)) chosen = &text;
    }
    if (!chosen) return std::string();
    const std::string adapter =
        AdapterPhrase(Argument(finding, layout->adapter), Argument(finding, layout->link), language);
    std::string capitalised = adapter;
    if (language == Language::kEnglish && !adapter.empty()) {
        capitalised[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(adapter[0])));
    }
    return Fill(language == Language::kJapanese ? chosen->japanese : chosen->english,
                {{"adapter", adapter},
                 {"Adapter", capitalised},
                 {"adapterName", Argument(finding, layout->adapter)},
                 {"name", Argument(finding, layout->name)},
                 {"address", Argument(finding, layout->address)},
                 {"category", CategoryPhrase(Argument(finding, layout->category), language)},
                 {"error", Argument(finding, layout->error)},
                 {"dropped", Argument(finding, layout->dropped)},
                 {"program", Argument(finding, layout->program)},
                 {"seconds", Argument(finding, layout->seconds)}});
}

}  // namespace findings
