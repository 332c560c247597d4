#include "win/language.h"

#include <atomic>

namespace win {
namespace {

std::atomic<LANGID> g_language{kEnglish};

const void* FindResourceData(LPCWSTR type, LPCWSTR name, LANGID language, DWORD* size) {
    HINSTANCE module = ResourceModule();
    HRSRC found = FindResourceExW(module, type, name, language);
    if (!found) return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return nullptr;
    if (size) *size = SizeofResource(module, found);
    return LockResource(loaded);
}

}  // namespace

LANGID LanguageForUser(LANGID userLanguage) {
    return PRIMARYLANGID(userLanguage) == LANG_JAPANESE ? kJapanese : kEnglish;
}

void ChooseLanguageAtStart() { SetLanguage(LanguageForUser(GetUserDefaultUILanguage())); }

LANGID Language() { return g_language.load(std::memory_order_acquire); }

void SetLanguage(LANGID language) { g_language.store(language, std::memory_order_release); }

HINSTANCE ResourceModule() { return GetModuleHandleW(nullptr); }

bool FindText(UINT id, LANGID language, std::wstring* text) {
    // Strings live in blocks of 16 counted UTF-16 texts; block n holds the
    // ids 16 * (n - 1) to 16 * n - 1.
    DWORD size = 0;
    const void* data = FindResourceData(MAKEINTRESOURCEW(6) /* RT_STRING */, MAKEINTRESOURCEW(id / 16 + 1), language, &size);
    if (!data) return false;
    const WCHAR* cursor = static_cast<const WCHAR*>(data);
    const WCHAR* end = cursor + size / sizeof(WCHAR);
    for (UINT index = 0; index < (id & 15); ++index) {
        if (cursor >= end) return false;
        cursor += 1 + *cursor;
    }
    if (cursor >= end || *cursor == 0) return false;  // an absent id has length 0
    const UINT length = *cursor;
    if (cursor + 1 + length > end) return false;
    if (text) text->assign(cursor + 1, length);
    return true;
}

std::wstring LoadText(UINT id) {
    std::wstring text;
    if (FindText(id, Language(), &text)) return text;
    if (FindText(id, kEnglish, &text)) return text;
    return std::wstring();
}

const DLGTEMPLATE* FindDialogTemplate(UINT id, LANGID language) {
    return static_cast<const DLGTEMPLATE*>(
        FindResourceData(MAKEINTRESOURCEW(5) /* RT_DIALOG */, MAKEINTRESOURCEW(id), language, nullptr));
}

const DLGTEMPLATE* FindDialogTemplate(UINT id) {
    if (const DLGTEMPLATE* found = FindDialogTemplate(id, Language())) return found;
    return FindDialogTemplate(id, kEnglish);
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

}  // namespace win
