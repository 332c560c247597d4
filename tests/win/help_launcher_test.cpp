// The help file path beside the program and the viewer call the shell gets.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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

TEST(HelpFilePath, KeepsTheDriveAndTheDirectoryWithItsSeparators) {
    EXPECT_EQ(ui::HelpFilePathFor("C:\\Tools\\setup.exe"), "C:\\Tools\\Help.chm");
    EXPECT_EQ(ui::HelpFilePathFor("D:\\a\\b\\c\\ConverterSetup.exe"), "D:\\a\\b\\c\\Help.chm");
    EXPECT_EQ(ui::HelpFilePathFor("C:/mixed\\dirs/setup.exe"), "C:/mixed\\dirs/Help.chm");
}

TEST(HelpFilePath, ADirectoryWithBlanksIsKeptAsItIs) {
    EXPECT_EQ(ui::HelpFilePathFor("C:\\Program Files\\Converter Setup\\setup.exe"),
              "C:\\Program Files\\Converter Setup\\Help.chm");
}

TEST(HelpFilePath, AProgramAtADrivesRootGivesOneSeparator) {
    EXPECT_EQ(ui::HelpFilePathFor("C:\\setup.exe"), "C:\\Help.chm");
}

TEST(HelpFilePath, ANetworkPathOrABareNameKeepsWhatItHas) {
    EXPECT_EQ(ui::HelpFilePathFor("\\\\server\\share\\setup.exe"), "\\\\server\\share\\Help.chm");
    EXPECT_EQ(ui::HelpFilePathFor("setup.exe"), "Help.chm");
    EXPECT_EQ(ui::HelpFilePathFor(""), "Help.chm");
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
