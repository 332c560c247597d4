// The notice: its texts per code in both languages, and the result of every
// way of answering it.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "res/resource.h"
#include "tests/win/test_support.h"
#include "ui/notice_dialog.h"

namespace {

using cstest::Expected;
using cstest::ItemTextOf;
using cstest::LanguageScope;
using cstest::TextOf;

struct Shown {
    std::string title, text, yes, no;
    bool yesIsDefault = false;
};

// Runs the notice modally; at initialisation it records what it shows and
// posts `input` to itself, which our modal loop then handles.
class ScriptedNotice : public ui::NoticeDialog {
public:
    explicit ScriptedNotice(std::vector<MSG> input) : input_(std::move(input)) {}
    Shown shown;

protected:
    BOOL OnInitDialog() override {
        const BOOL result = ui::NoticeDialog::OnInitDialog();
        shown = {TextOf(hwnd()), ItemTextOf(hwnd(), IDC_NOTICE_TEXT), ItemTextOf(hwnd(), IDOK),
                 ItemTextOf(hwnd(), IDCANCEL),
                 (GetWindowLongW(Item(IDOK), GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON};
        for (const MSG& message : input_) {
            HWND target = message.hwnd ? message.hwnd : hwnd();
            if (message.hwnd == HWND_BROADCAST) target = Item(static_cast<int>(message.time));
            PostMessageW(target, message.message, message.wParam, message.lParam);
        }
        return result;
    }

private:
    std::vector<MSG> input_;
};

MSG Key(UINT key) { return MSG{nullptr, WM_KEYDOWN, key, 1, 0, {}}; }
MSG Click(int id) {
    MSG message{HWND_BROADCAST, BM_CLICK, 0, 0, static_cast<DWORD>(id), {}};
    return message;
}

INT_PTR Answer(std::vector<MSG> input, Shown* shown = nullptr, int code = 5) {
    ScriptedNotice notice(std::move(input));
    notice.code = code;
    const INT_PTR result = notice.DoModal(nullptr);
    if (shown) *shown = notice.shown;
    return result;
}

TEST(NoticeAnswers, YesAndEnterGiveOne) {
    EXPECT_EQ(Answer({Click(IDOK)}), 1);
    EXPECT_EQ(Answer({Key(VK_RETURN)}), 1);
}

TEST(NoticeAnswers, NoEscAndTheCloseBoxGiveTwo) {
    EXPECT_EQ(Answer({Click(IDCANCEL)}), 2);
    EXPECT_EQ(Answer({Key(VK_ESCAPE)}), 2);
    EXPECT_EQ(Answer({MSG{nullptr, WM_SYSCOMMAND, SC_CLOSE, 0, 0, {}}}), 2);
    EXPECT_EQ(Answer({MSG{nullptr, WM_CLOSE, 0, 0, 0, {}}}), 2);
}

class NoticeTexts : public testing::TestWithParam<LANGID> {};

TEST_P(NoticeTexts, EveryCodeShowsItsTextUnderTheTitleErrorWithYesAndNo) {
    LanguageScope language(GetParam());
    const std::pair<int, UINT> codes[] = {{1, 148}, {3, 127}, {4, 124}, {5, 126}, {6, 150}, {7, 151}};
    for (const auto& [code, stringId] : codes) {
        Shown shown;
        ASSERT_EQ(Answer({Key(VK_ESCAPE)}, &shown, code), 2);
        EXPECT_EQ(shown.title, Expected(125, GetParam())) << code;
        EXPECT_EQ(shown.text, Expected(stringId, GetParam())) << code;
        EXPECT_EQ(shown.yes, Expected(155, GetParam()));
        EXPECT_EQ(shown.no, Expected(156, GetParam()));
        EXPECT_TRUE(shown.yesIsDefault);
    }
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, NoticeTexts, cstest::BothLanguages(), cstest::LanguageName);

TEST(NoticeTextsByCode, CodeFiveIsIndentedInEnglishOnly) {
    Shown shown;
    {
        LanguageScope english(win::kEnglish);
        Answer({Key(VK_ESCAPE)}, &shown, 5);
        EXPECT_EQ(shown.text.rfind("\n     Converter not detected. \n     ", 0), 0u);
    }
    {
        LanguageScope japanese(win::kJapanese);
        Answer({Key(VK_ESCAPE)}, &shown, 5);
        ASSERT_FALSE(shown.text.empty());
        EXPECT_NE(shown.text[0], '\n');
        EXPECT_NE(shown.text[0], ' ');
    }
}

TEST(NoticeTextsByCode, ACodeOutsideTheTableShowsNoTextButStillAnswers) {
    Shown shown;
    EXPECT_EQ(Answer({Click(IDOK)}, &shown, 2), 1);
    EXPECT_EQ(shown.text, "");
    EXPECT_EQ(ui::NoticeTextId(0), 0u);
    EXPECT_EQ(ui::NoticeTextId(8), 0u);
}

}  // namespace
