#include "win/com.h"

#include "win/system_library.h"

namespace win {
namespace {

// Mapped when a BSTR or VARIANT is first made or freed: a start that never
// asks COM for text never loads it. It stays loaded.
struct OleAutomation {
    decltype(&SysAllocString) allocString =
        SystemEntry<decltype(&SysAllocString)>(L"oleaut32.dll", "SysAllocString");
    decltype(&SysFreeString) freeString = SystemEntry<decltype(&SysFreeString)>(L"oleaut32.dll", "SysFreeString");
    decltype(&VariantClear) clear = SystemEntry<decltype(&VariantClear)>(L"oleaut32.dll", "VariantClear");
};

const OleAutomation& Automation() {
    static const OleAutomation automation;
    return automation;
}

}  // namespace

// A thread that already has COM (of either kind) keeps it as it is.
ComApartment::ComApartment()
    : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}

ComApartment::~ComApartment() {
    if (initialised_) CoUninitialize();
}

Bstr::Bstr(const wchar_t* text) : b_(Automation().allocString ? Automation().allocString(text) : nullptr) {}

Bstr::~Bstr() {
    if (b_ && Automation().freeString) Automation().freeString(b_);
}

void Variant::Clear() {
    if (v_.vt != VT_EMPTY && Automation().clear) Automation().clear(&v_);
    v_.vt = VT_EMPTY;
}

}  // namespace win
