// The program shows every text in one language, chosen once at start, and
// loads every template and string in exactly that language on every thread.
#pragma once

#include <windows.h>

#include <string>

namespace win {

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// Japanese when the user's UI language is Japanese, English otherwise.
LANGID LanguageForUser(LANGID userLanguage);
// Reads the user's UI language and makes the result the program's language.
void ChooseLanguageAtStart();
// The program's language. Tests switch it here.
LANGID Language();
void SetLanguage(LANGID language);

// The resource module: the program itself (resources are linked in).
HINSTANCE ResourceModule();

// String `id` in exactly `language`; false when that table lacks it.
bool FindText(UINT id, LANGID language, std::wstring* text);
// String `id` in the program's language, else English, else empty.
std::wstring LoadText(UINT id);

// Dialog template `id` in the program's language, else English.
const DLGTEMPLATE* FindDialogTemplate(UINT id);
const DLGTEMPLATE* FindDialogTemplate(UINT id, LANGID language);

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

}  // namespace win
