// The language chosen at start, run under a Linux locale from which wine
// derives the user's UI language (see CMakeLists.txt: one case per locale).
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "res/resource.h"
#include "tests/win/test_support.h"
#include "win/language.h"

namespace {

TEST(LanguageAtStart, FollowsTheUsersInterfaceLanguage) {
    const char* expected = std::getenv("CS_EXPECT_LANGUAGE");
    ASSERT_NE(expected, nullptr) << "needs CS_EXPECT_LANGUAGE and a matching locale";
    const bool japanese = std::string(expected) == "ja";
    cstest::LanguageScope restore(win::Language());
    win::ChooseLanguageAtStart();
    EXPECT_EQ(win::Language(), japanese ? win::kJapanese : win::kEnglish);
    EXPECT_EQ(win::ToUtf8(win::LoadText(IDS_ERROR)), japanese ? "エラー" : "Error");
}

}  // namespace
