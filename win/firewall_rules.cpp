#include "win/firewall_rules.h"

#include <netfw.h>

#include "win/com.h"

namespace win {

bool RuleApplicationIs(const wchar_t* ruleApplication, const std::wstring& file) {
    const DWORD size = ExpandEnvironmentStringsW(ruleApplication, nullptr, 0);
    std::wstring expanded(size, L'\0');
    if (size == 0 || ExpandEnvironmentStringsW(ruleApplication, &expanded[0], size) != size) return false;
    return CompareStringOrdinal(expanded.c_str(), -1, file.c_str(), -1, TRUE) == CSTR_EQUAL;
}

struct WindowsFirewallRules::Listed {
    HRESULT opened = E_FAIL;
    ComPtr<INetFwRules> rules;
    std::vector<ComPtr<INetFwRule>> each;  // as the last List gave them
};

WindowsFirewallRules::WindowsFirewallRules() : listed_(new Listed) {
    ComPtr<INetFwPolicy2> policy = Create<INetFwPolicy2>(__uuidof(NetFwPolicy2), &listed_->opened);
    if (policy) listed_->opened = policy->get_Rules(listed_->rules.out());
    if (SUCCEEDED(listed_->opened) && !listed_->rules) listed_->opened = E_POINTER;
}

WindowsFirewallRules::~WindowsFirewallRules() = default;

HRESULT WindowsFirewallRules::List(std::vector<FirewallRule>* rules) {
    rules->clear();
    listed_->each.clear();
    if (FAILED(listed_->opened)) return listed_->opened;
    ComPtr<IUnknown> enumerator;
    HRESULT result = listed_->rules->get__NewEnum(enumerator.out());
    if (FAILED(result)) return result;
    ComPtr<IEnumVARIANT> each = enumerator.As<IEnumVARIANT>();
    if (!each) return E_NOINTERFACE;
    Variant item;
    ULONG fetched = 0;
    while ((result = each->Next(1, item.out(), &fetched)) == S_OK && fetched == 1) {
        ComPtr<INetFwRule> rule;
        if (IDispatch* raw = item.dispatch()) {
            raw->QueryInterface(__uuidof(INetFwRule), reinterpret_cast<void**>(rule.out()));
        }
        Bstr name, application;
        NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_OUT;
        NET_FW_ACTION action = NET_FW_ACTION_ALLOW;
        VARIANT_BOOL enabled = VARIANT_FALSE;
        FirewallRule fields;
        // A rule that cannot be read whole cannot be told to be ours.
        if (!rule || FAILED(rule->get_Name(name.out())) || FAILED(rule->get_ApplicationName(application.out())) ||
            FAILED(rule->get_Direction(&direction)) || FAILED(rule->get_Protocol(&fields.protocol)) ||
            FAILED(rule->get_Profiles(&fields.profiles)) || FAILED(rule->get_Action(&action)) ||
            FAILED(rule->get_Enabled(&enabled))) {
            continue;
        }
        fields.name = name.get();
        fields.application = application.get();
        fields.inbound = direction == NET_FW_RULE_DIR_IN;
        fields.allows = action == NET_FW_ACTION_ALLOW;
        fields.enabled = enabled != VARIANT_FALSE;
        rules->push_back(fields);
        listed_->each.push_back(std::move(rule));
    }
    return FAILED(result) ? result : S_OK;
}

HRESULT WindowsFirewallRules::Add(const FirewallRule& fields) {
    if (FAILED(listed_->opened)) return listed_->opened;
    HRESULT result = S_OK;
    ComPtr<INetFwRule> rule = Create<INetFwRule>(__uuidof(NetFwRule), &result);
    if (!rule) return FAILED(result) ? result : E_POINTER;
    const Bstr name(fields.name.c_str()), application(fields.application.c_str());
    if (!name.bstr() || !application.bstr()) return E_OUTOFMEMORY;
    // The protocol before anything that depends on it, as Windows wants.
    if (FAILED(result = rule->put_Protocol(fields.protocol)) || FAILED(result = rule->put_Name(name.bstr())) ||
        FAILED(result = rule->put_ApplicationName(application.bstr())) ||
        FAILED(result = rule->put_Direction(fields.inbound ? NET_FW_RULE_DIR_IN : NET_FW_RULE_DIR_OUT)) ||
        FAILED(result = rule->put_Profiles(fields.profiles)) ||
        FAILED(result = rule->put_Action(fields.allows ? NET_FW_ACTION_ALLOW : NET_FW_ACTION_BLOCK)) ||
        FAILED(result = rule->put_Enabled(fields.enabled ? VARIANT_TRUE : VARIANT_FALSE))) {
        return result;
    }
    return listed_->rules->Add(rule.get());
}

HRESULT WindowsFirewallRules::Disable(std::size_t index) {
    if (index >= listed_->each.size()) return E_INVALIDARG;
    return listed_->each[index]->put_Enabled(VARIANT_FALSE);
}

}  // namespace win
