// The texts as linked into the program, the language it picks, and the help
// file it opens.
#include "tests/win/support.h"

#include <cstdlib>

namespace {

using namespace cstest;

TEST(Resources, EveryTextIsTheExpectedBytesInBothLanguagesAndNoOtherIdExists) {
    const auto expected = ReadTsv("strings");
    for (UINT id = 0; id < 1024; ++id) {
        const auto row = expected.find(std::to_string(id));
        for (LANGID language : {win::kEnglish, win::kJapanese}) {
            std::wstring text;
            const bool found = win::FindText(id, language, &text);
            EXPECT_EQ(found, row != expected.end()) << id << " in " << language;
            if (found && row != expected.end()) {
                EXPECT_EQ(win::ToUtf8(text), row->second.at(language == win::kJapanese)) << id;
            }
        }
    }
    const std::pair<const char*, std::string> fixed[] = {
        {"instance_property", ui::kInstanceProperty},
        {"topic_ip_setup", ui::kTopicIpSetup},
        {"topic_result_window", ui::kTopicResult},
        {"topic_rescan_none", ui::kTopicRescanNotFound},
        {"topic_not_found", ui::kTopicNotFound},
        {"topic_multiple", ui::kTopicSeveral},
        {"topic_no_assigned_address", ui::kTopicAddressChange},
        {"topic_open_failed", ui::kTopicOpenFailed},
    };
    for (const auto& [key, text] : fixed) EXPECT_EQ(text, Fixed(key)) << key;
}

TEST(Resources, JapaneseIsChosenByThePrimaryLanguageAndEveryTemplateHasBoth) {
    const std::pair<LANGID, LANGID> users[] = {
        {MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), win::kJapanese},
        {MAKELANGID(LANG_JAPANESE, SUBLANG_NEUTRAL), win::kJapanese},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), win::kEnglish},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), win::kEnglish},
    };
    for (const auto& [user, chosen] : users) EXPECT_EQ(win::LanguageForUser(user), chosen) << user;
    for (UINT id : {IDD_RESULT_WINDOW, IDD_IP_SETUP, IDD_PROGRESS, IDD_LAUNCHING, IDD_SETTING_ADDRESS,
                    IDD_NOTICE}) {
        const DLGTEMPLATE* english = win::FindDialogTemplate(id, win::kEnglish);
        EXPECT_NE(english, nullptr) << id;
        EXPECT_NE(win::FindDialogTemplate(id, win::kJapanese), english) << id;
    }
}

// Also run from copies of this program in a directory with blanks and at a
// path of 259 characters (CMakeLists.txt).
TEST_F(WinTest, HelpOpensTheFileBesideTheProgram) {
    EXPECT_EQ(ui::HelpFilePathFor("C:\\setup.exe"), "C:\\Help.chm");
    char program[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH + 1);
    if (const char* expected = std::getenv("CS_EXPECT_PROGRAM_PATH_LENGTH")) {
        EXPECT_EQ(length, std::strtoul(expected, nullptr, 10));
    }
    std::string directory = program;
    directory.erase(directory.rfind('\\') + 1);
    ui::HelpLauncher().OpenTopic(ui::kTopicIpSetup);
    const std::string beside = "shell hh.exe " + directory + "Help.chm" + Fixed("topic_ip_setup");
    EXPECT_EQ(g_events, std::vector<std::string>{beside});
}

}  // namespace
