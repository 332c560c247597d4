// The string tables and dialog templates as linked into the program: every
// text byte for byte in both languages, and the templates' geometry, styles
// and fonts in both languages.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/win/test_support.h"
#include "win/language.h"

namespace {

using cstest::ExpectedStrings;

TEST(StringTables, EveryTextMatchesTheExpectedBytesInBothLanguages) {
    const auto& expected = ExpectedStrings();
    ASSERT_EQ(expected.size(), 38u);
    for (const auto& [id, texts] : expected) {
        std::wstring english;
        std::wstring japanese;
        ASSERT_TRUE(win::FindText(id, win::kEnglish, &english)) << "English lacks " << id;
        ASSERT_TRUE(win::FindText(id, win::kJapanese, &japanese)) << "Japanese lacks " << id;
        EXPECT_EQ(win::ToUtf8(english), texts.english) << "English " << id;
        EXPECT_EQ(win::ToUtf8(japanese), texts.japanese) << "Japanese " << id;
    }
}

TEST(StringTables, HoldNoIdentifierBeyondTheExpectedOnes) {
    const auto& expected = ExpectedStrings();
    for (UINT id = 0; id < 1024; ++id) {
        if (expected.count(id)) continue;
        EXPECT_FALSE(win::FindText(id, win::kEnglish, nullptr)) << "stray English " << id;
        EXPECT_FALSE(win::FindText(id, win::kJapanese, nullptr)) << "stray Japanese " << id;
    }
}

TEST(StringTables, LoadTextFollowsTheChosenLanguageAndIsEmptyForAnUnknownId) {
    {
        cstest::LanguageScope japanese(win::kJapanese);
        EXPECT_EQ(win::ToUtf8(win::LoadText(IDS_LIST_LABEL)), "コンバータ\u3000リスト");
        EXPECT_EQ(win::ToUtf8(win::LoadText(IDS_EXECUTE_SETUP)), "はい");
        EXPECT_TRUE(win::LoadText(154).empty());
    }
    {
        cstest::LanguageScope english(win::kEnglish);
        EXPECT_EQ(win::ToUtf8(win::LoadText(IDS_EXECUTE_SETUP)), "Execute Setup");
        EXPECT_TRUE(win::LoadText(100).empty());
    }
}

TEST(StringTables, AnotherLanguageFallsBackToEnglish) {
    cstest::LanguageScope german(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
    EXPECT_EQ(win::ToUtf8(win::LoadText(IDS_ERROR)), "Error");
    EXPECT_NE(win::FindDialogTemplate(IDD_NOTICE), nullptr);
}

TEST(LanguageChoice, JapaneseOnlyForAJapaneseUserInterface) {
    EXPECT_EQ(win::LanguageForUser(MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)), win::kJapanese);
    EXPECT_EQ(win::LanguageForUser(MAKELANGID(LANG_JAPANESE, SUBLANG_NEUTRAL)), win::kJapanese);
    EXPECT_EQ(win::LanguageForUser(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK)), win::kEnglish);
    EXPECT_EQ(win::LanguageForUser(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)),
              win::kEnglish);
    EXPECT_EQ(win::LanguageForUser(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)), win::kEnglish);
}

// ---- dialog templates, read from the extended template format ----

struct Item {
    DWORD style;
    short x, y, cx, cy;
    int id;
    std::wstring className;  // "#128" style for atoms
};

struct Template {
    DWORD style = 0;
    DWORD exStyle = 0;
    short cx = 0, cy = 0;
    WORD pointSize = 0;
    std::wstring font;
    std::vector<Item> items;
};

const WORD* SkipSzOrOrd(const WORD* p, std::wstring* out) {
    if (*p == 0) return p + 1;
    if (*p == 0xFFFF) {
        if (out) *out = L"#" + std::to_wstring(p[1]);
        return p + 2;
    }
    const wchar_t* text = reinterpret_cast<const wchar_t*>(p);
    if (out) *out = text;
    return p + wcslen(text) + 1;
}

const BYTE* AlignDword(const void* p) {
    auto value = reinterpret_cast<std::uintptr_t>(p);
    return reinterpret_cast<const BYTE*>((value + 3) & ~std::uintptr_t{3});
}

bool ReadTemplate(UINT id, LANGID language, Template* out) {
    const BYTE* data = reinterpret_cast<const BYTE*>(win::FindDialogTemplate(id, language));
    if (!data) return false;
    const WORD* words = reinterpret_cast<const WORD*>(data);
    if (words[0] != 1 || words[1] != 0xFFFF) return false;  // extended templates only
    DWORD header[3];
    std::memcpy(header, data + 4, sizeof header);  // help id, exStyle, style
    out->exStyle = header[1];
    out->style = header[2];
    WORD count;
    std::memcpy(&count, data + 16, 2);
    short geometry[4];
    std::memcpy(geometry, data + 18, sizeof geometry);
    out->cx = geometry[2];
    out->cy = geometry[3];
    const WORD* p = reinterpret_cast<const WORD*>(data + 26);
    p = SkipSzOrOrd(p, nullptr);  // menu
    p = SkipSzOrOrd(p, nullptr);  // class
    p = SkipSzOrOrd(p, nullptr);  // title
    if (out->style & DS_SETFONT) {
        out->pointSize = p[0];
        p += 3;  // point size, weight, italic + charset
        p = SkipSzOrOrd(p, &out->font);
    }
    const BYTE* cursor = AlignDword(p);
    for (WORD index = 0; index < count; ++index) {
        Item item{};
        DWORD itemHeader[3];
        std::memcpy(itemHeader, cursor, sizeof itemHeader);
        item.style = itemHeader[2];
        short box[4];
        std::memcpy(box, cursor + 12, sizeof box);
        item.x = box[0];
        item.y = box[1];
        item.cx = box[2];
        item.cy = box[3];
        DWORD itemId;
        std::memcpy(&itemId, cursor + 20, 4);
        item.id = static_cast<int>(itemId);
        const WORD* q = reinterpret_cast<const WORD*>(cursor + 24);
        q = SkipSzOrOrd(q, &item.className);
        q = SkipSzOrOrd(q, nullptr);
        const WORD extra = *q++;
        cursor = AlignDword(reinterpret_cast<const BYTE*>(q) + extra);
        out->items.push_back(item);
    }
    return true;
}

// Class names compare without case; the predefined classes by their atoms.
std::wstring ClassKey(std::wstring name) {
    for (wchar_t& c : name) c = static_cast<wchar_t>(towupper(c));
    if (name == L"STATIC") return L"#130";
    if (name == L"BUTTON") return L"#128";
    return name;
}

struct ExpectedItem {
    int id;
    const wchar_t* className;  // "#128" button, "#130" static
    short x, y, cx, cy;
};

void ExpectLayout(UINT id, LANGID language, short cx, short cy,
                  const std::vector<ExpectedItem>& items) {
    Template t;
    ASSERT_TRUE(ReadTemplate(id, language, &t)) << "template " << id;
    EXPECT_EQ(t.cx, cx) << id;
    EXPECT_EQ(t.cy, cy) << id;
    EXPECT_EQ(t.pointSize, 9) << id;
    EXPECT_EQ(win::ToUtf8(t.font), language == win::kJapanese ? "ＭＳ Ｐゴシック" : "MS Sans Serif")
        << id;
    ASSERT_EQ(t.items.size(), items.size()) << id;
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "template " << id << " item " << i);
        EXPECT_EQ(t.items[i].id, items[i].id);
        EXPECT_EQ(ClassKey(t.items[i].className), ClassKey(items[i].className));
        EXPECT_EQ(t.items[i].x, items[i].x);
        EXPECT_EQ(t.items[i].y, items[i].y);
        EXPECT_EQ(t.items[i].cx, items[i].cx);
        EXPECT_EQ(t.items[i].cy, items[i].cy);
    }
}

constexpr DWORD kCaptioned = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

DWORD StyleOf(UINT id, LANGID language) {
    Template t;
    return ReadTemplate(id, language, &t) ? t.style : 0;
}

DWORD ExStyleOf(UINT id, LANGID language) {
    Template t;
    return ReadTemplate(id, language, &t) ? t.exStyle : 0;
}

class DialogTemplates : public testing::TestWithParam<LANGID> {};

TEST_P(DialogTemplates, ResultWindowHasItsControlsInTabOrder) {
    ExpectLayout(IDD_RESULT_WINDOW, GetParam(), 339, 221,
                 {{IDC_DEVICE_LIST, L"SysListView32", 91, 39, 242, 135},
                  {IDC_SCAN, L"#128", 59, 202, 50, 14},
                  {IDC_IP_ADDRESS_SETUP, L"#128", 117, 202, 58, 14},
                  {IDC_SETUP_PAGE, L"#128", 184, 202, 90, 14},
                  {IDC_CLOSE, L"#128", 282, 202, 50, 14},
                  {IDC_LIST_LABEL, L"#130", 97, 26, 104, 13},
                  {IDC_STATIC, L"#130", 6, 22, 82, 151}});
    Template t;
    ASSERT_TRUE(ReadTemplate(IDD_RESULT_WINDOW, GetParam(), &t));
    EXPECT_EQ(t.style & kCaptioned, kCaptioned);
    EXPECT_EQ(t.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
    EXPECT_TRUE(t.exStyle & WS_EX_CONTEXTHELP);
    const DWORD list = t.items[0].style;
    EXPECT_EQ(list & LVS_TYPEMASK, static_cast<DWORD>(LVS_REPORT));
    EXPECT_TRUE(list & LVS_SINGLESEL);
    EXPECT_TRUE(list & WS_BORDER);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(t.items[i].style & WS_TABSTOP) << i;
    for (int i = 1; i < 4; ++i) EXPECT_EQ(t.items[i].style & 0xF, DWORD{BS_DEFPUSHBUTTON}) << i;
    EXPECT_EQ(t.items[4].style & 0xF, DWORD{BS_PUSHBUTTON});
    EXPECT_EQ(t.items[6].style & SS_TYPEMASK, DWORD{SS_BITMAP});
    EXPECT_TRUE(t.items[6].style & WS_BORDER);
}

TEST_P(DialogTemplates, StatusWindowsHaveAModalFrameAndNoCaption) {
    const LANGID language = GetParam();
    const bool japanese = language == win::kJapanese;
    ExpectLayout(IDD_PROGRESS, language, 135, 45,
                 {{IDC_STATUS_TEXT, L"#130", 8, 12, 40, 8},
                  {IDC_PROGRESS_BAR, L"msctls_progress32", 7, 26, 118, 9}});
    ExpectLayout(IDD_LAUNCHING, language, japanese ? 123 : 143, 49,
                 {{IDC_STATUS_TEXT, L"#130", japanese ? short(26) : short(12), 21,
                   japanese ? short(89) : short(123), 8}});
    ExpectLayout(IDD_SETTING_ADDRESS, language, 123, 46,
                 {{IDC_STATUS_TEXT, L"#130", 38, 21, 63, 8}});
    for (UINT id : {IDD_PROGRESS, IDD_LAUNCHING, IDD_SETTING_ADDRESS}) {
        const DWORD style = StyleOf(id, language);
        EXPECT_TRUE(style & WS_POPUP) << id;
        EXPECT_TRUE(style & DS_MODALFRAME) << id;
        EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), 0u) << id;
    }
}

TEST_P(DialogTemplates, NoticeAndAddressSetupFollowTheirLanguage) {
    const LANGID language = GetParam();
    if (language == win::kJapanese) {
        ExpectLayout(IDD_NOTICE, language, 175, 73,
                     {{IDOK, L"#128", 33, 50, 50, 14},
                      {IDCANCEL, L"#128", 88, 50, 50, 14},
                      {IDC_NOTICE_TEXT, L"#130", 35, 15, 113, 25}});
        ExpectLayout(IDD_IP_SETUP, language, 239, 145,
                     {{IDC_EXECUTE_SETUP, L"#128", 62, 117, 50, 14},
                      {IDC_CANCEL_SETUP, L"#128", 129, 117, 50, 14},
                      {IDC_EXPLANATION, L"#130", 15, 19, 205, 30},
                      {IDC_ADDRESS_LABEL, L"#130", 15, 82, 98, 17},
                      {IDC_ADDRESS_FIELD, L"SysIPAddress32", 116, 78, 102, 16},
                      {IDC_PC_ADDRESS, L"#130", 15, 63, 177, 8}});
    } else {
        ExpectLayout(IDD_NOTICE, language, 175, 95,
                     {{IDOK, L"#128", 31, 68, 50, 14},
                      {IDCANCEL, L"#128", 90, 68, 50, 14},
                      {IDC_NOTICE_TEXT, L"#130", 20, 15, 135, 40}});
        ExpectLayout(IDD_IP_SETUP, language, 223, 129,
                     {{IDC_EXECUTE_SETUP, L"#128", 46, 108, 57, 14},
                      {IDC_CANCEL_SETUP, L"#128", 120, 108, 56, 14},
                      {IDC_EXPLANATION, L"#130", 16, 19, 190, 26},
                      {IDC_ADDRESS_LABEL, L"#130", 16, 74, 74, 17},
                      {IDC_ADDRESS_FIELD, L"SysIPAddress32", 92, 70, 102, 16},
                      {IDC_PC_ADDRESS, L"#130", 16, 55, 194, 8}});
    }
    EXPECT_EQ(StyleOf(IDD_NOTICE, language) & kCaptioned, kCaptioned);
    EXPECT_EQ(StyleOf(IDD_IP_SETUP, language) & kCaptioned, kCaptioned);
    EXPECT_TRUE(ExStyleOf(IDD_IP_SETUP, language) & WS_EX_CONTEXTHELP);
    EXPECT_FALSE(ExStyleOf(IDD_NOTICE, language) & WS_EX_CONTEXTHELP);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, DialogTemplates, cstest::BothLanguages(), cstest::LanguageName);

}  // namespace
