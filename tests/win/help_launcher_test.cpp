// The help file path beside the program and the viewer call the shell gets.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "tests/win/test_support.h"
#include "ui/help_launcher.h"

namespace {

// The program's own directory, from the platform (these cases also run from
// a copy in a directory with blanks and from one at a 259-character path).
std::string ProgramDirectory() {
    char module[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string directory = module;
    directory.erase(directory.find_last_of('\\') + 1);
    return directory;
}

// Drive and directory kept with their separators and blanks, one separator
// at a drive's root; a network path or a bare name keeps what it has.
TEST(HelpFilePath, IsTheProgramsDirectoryAsWrittenWithHelpChm) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Tools\\setup.exe", "C:\\Tools\\Help.chm"},
        {"D:\\a\\b\\c\\ConverterSetup.exe", "D:\\a\\b\\c\\Help.chm"},
        {"C:/mixed\\dirs/setup.exe", "C:/mixed\\dirs/Help.chm"},
        {"C:\\Program Files\\Converter Setup\\setup.exe",
         "C:\\Program Files\\Converter Setup\\Help.chm"},
        {"C:\\setup.exe", "C:\\Help.chm"},
        {"\\\\server\\share\\setup.exe", "\\\\server\\share\\Help.chm"},
        {"setup.exe", "Help.chm"},
        {"", "Help.chm"},
    };
    for (const auto& c : cases) EXPECT_EQ(ui::HelpFilePathFor(c.first), c.second) << c.first;
}

TEST(HelpFilePath, AProgramPathOf259CharactersIsSplitWhole) {
    // "C:" + a directory of 252 characters + "a.exe".
    std::string directory = "\\";
    while (directory.size() < 251) directory += "d";
    directory += "\\";
    const std::string path = "C:" + directory + "a.exe";
    ASSERT_EQ(path.size(), 259u);
    EXPECT_EQ(ui::HelpFilePathFor(path), "C:" + directory + "Help.chm");

    std::string longest = "C:\\";
    while (longest.size() < 257) longest += "x";
    longest += "\\a";  // 259 characters, directory of 257
    ASSERT_EQ(longest.size(), 259u);
    EXPECT_EQ(ui::HelpFilePathFor(longest), longest.substr(0, 258) + "Help.chm");
}

TEST(HelpFilePath, OfTheRunningProgramIsBesideIt) {
    EXPECT_EQ(ui::HelpLauncher().HelpFilePath(), ProgramDirectory() + "Help.chm");
    // The run from a copy names the length its path was built to have.
    if (const char* length = std::getenv("CS_EXPECT_PROGRAM_PATH_LENGTH")) {
        char module[MAX_PATH + 1] = {};
        EXPECT_EQ(GetModuleFileNameA(nullptr, module, MAX_PATH), std::strtoul(length, nullptr, 10));
    }
}

TEST(OpenTopic, AsksTheShellToOpenTheViewerWithThePathAndTopicJoined) {
    cstest::RecordingShell shell;
    ui::HelpLauncher().OpenTopic(ui::kTopicIpSetup);
    const auto calls = shell.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].owner, nullptr);
    EXPECT_EQ(calls[0].verb, "open");
    EXPECT_EQ(calls[0].file, "hh.exe");
    EXPECT_EQ(calls[0].parameters, ProgramDirectory() + "Help.chm::/HTML/T040IP.html");
    EXPECT_FALSE(calls[0].hasDirectory);
    EXPECT_EQ(calls[0].show, SW_SHOW);
    EXPECT_NE(calls[0].parameters.find("Help.chm::/HTML/"), std::string::npos);
    EXPECT_NE(calls[0].parameters.front(), '"');
}

TEST(OpenTopic, OpeningTheSameTopicTwiceAsksTheShellTwice) {
    cstest::RecordingShell shell;
    shell.result = 2;  // a failure changes nothing for the caller
    ui::HelpLauncher launcher;
    launcher.OpenTopic(ui::kTopicNotFound);
    launcher.OpenTopic(ui::kTopicNotFound);
    ASSERT_EQ(shell.Calls().size(), 2u);
    EXPECT_EQ(shell.Calls()[0].parameters, shell.Calls()[1].parameters);
}

}  // namespace
