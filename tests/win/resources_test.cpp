// What the program holds and says of itself: the texts and templates linked
// into it, its version resource and manifest (read back from the built
// ConverterSetup.exe as the file's properties and error reports read them),
// and the help file it opens. The language a Japanese user gets is the
// end-to-end rows' to show.
#include "tests/win/support.h"

#include <algorithm>
#include <cstdlib>

namespace {

using namespace cstest;

TEST(Resources, EveryTextIsTheExpectedBytesAndEveryTemplateIsThereInBothLanguages) {
    const Table& expected = Tsv("strings");
    for (UINT id = 0; id < 1024; ++id) {
        const auto row = expected.find(std::to_string(id));
        for (LANGID language : {win::kEnglish, win::kJapanese}) {
            std::wstring text;
            const std::string none = "(no text)";
            EXPECT_EQ(win::FindText(id, language, &text) ? win::ToUtf8(text) : none,
                      row == expected.end() ? none : row->second.at(language == win::kJapanese))
                << id << " in " << language;
        }
    }
    // The help topics are held against the data where help opens.
    EXPECT_EQ(ui::kInstanceProperty, Fixed("instance_property"));
    for (UINT id : {IDD_RESULT_WINDOW, IDD_IP_SETUP, IDD_PROGRESS, IDD_LAUNCHING, IDD_SETTING_ADDRESS,
                    IDD_NOTICE}) {
        const DLGTEMPLATE* english = win::FindDialogTemplate(id, win::kEnglish);
        EXPECT_NE(english, nullptr) << id;
        EXPECT_NE(win::FindDialogTemplate(id, win::kJapanese), english) << id;
    }
}

// Also run from a copy of this program at a path of 259 characters whose
// folder names hold blanks, Japanese and a letter outside code pages 932 and
// 1252 (CMakeLists.txt): the viewer gets the path as the file system has it,
// unquoted.
TEST_F(WinTest, HelpOpensTheFileBesideTheProgram) {
    EXPECT_EQ(ui::HelpFilePathFor(L"C:\\setup.exe"), L"C:\\Help.chm");
    const bool copy = std::getenv("CS_PROGRAM_COPY") != nullptr;
    std::string directory = copy ? CS_PROGRAM_COPY_DIR : CS_TESTS_DIR;
    std::replace(directory.begin(), directory.end(), '/', '\\');
    wchar_t program[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH + 1);
    EXPECT_TRUE(!copy || length == 259) << length;
    ui::HelpLauncher().OpenTopic(ui::kTopicIpSetup);
    EXPECT_EQ(g_events, std::vector<std::string>{"shell " + Fixed("help_viewer_path") + " " + directory +
                                                 "Help.chm" + Fixed("topic_ip_setup")});
}

TEST(ProgramFile, VersionResourceNamesTheProductInBothLanguages) {
    const std::wstring file = win::FromUtf8(CS_PROGRAM_PATH), version = win::FromUtf8(CS_PROJECT_VERSION);
    const wchar_t* program = file.c_str();
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(program, &ignored));
    ASSERT_TRUE(!info.empty() && GetFileVersionInfoW(program, 0, info.size(), info.data()));
    const wchar_t* const kJapaneseName = L"\u30b3\u30f3\u30d0\u30fc\u30bf\u8a2d\u5b9a";
    const std::wstring rows[][3] = {
        {L"040904b0", L"ProductName", L"Converter Setup"}, {L"040904b0", L"FileDescription", L"Converter Setup"},
        {L"041104b0", L"ProductName", kJapaneseName},      {L"041104b0", L"FileDescription", kJapaneseName},
        {L"040904b0", L"FileVersion", version}, {L"041104b0", L"ProductVersion", version},
        {L"041104b0", L"OriginalFilename", L"ConverterSetup.exe"}, {L"041104b0", L"CompanyName", L""},
    };
    for (const auto& [block, key, expected] : rows) {
        const std::wstring path = L"\\StringFileInfo\\" + block + L"\\" + key;
        wchar_t* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) << path;
        EXPECT_EQ(std::wstring(value, length ? length - 1 : 0), expected) << path;  // byte for byte
    }
}

// Wine does not scale: of the GDI scaling only the declaration is checked,
// with the namespaces that Windows reads it in (a wrong one is ignored).
TEST(ProgramFile, ManifestAsksNoElevationScalesTextAndNamesEverySupportedWindows) {
    HMODULE program = LoadLibraryExW(win::FromUtf8(CS_PROGRAM_PATH).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = program ? FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)) : nullptr;
    ASSERT_NE(found, nullptr) << "no manifest";
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(program, found))),
                         SizeofResource(program, found));
    // Elements nested as written, whatever the blanks between tags.
    for (std::size_t at; (at = manifest.find(">\n")) != std::string::npos;) {
        manifest.erase(at + 1, manifest.find_first_not_of(" \n", at + 1) - at - 1);
    }
    for (const std::string declaration :
         {"<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
          "<application xmlns=\"urn:schemas-microsoft-com:asm.v3\"><windowsSettings><gdiScaling "
          "xmlns=\"http://schemas.microsoft.com/SMI/2017/WindowsSettings\">true</gdiScaling>",
          "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",   // 7
          "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>",   // 8
          "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>",   // 8.1
          "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",   // 10 and 11
          "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
          "version=\"" CS_PROJECT_VERSION ".0\""}) {
        EXPECT_NE(manifest.find(declaration), std::string::npos) << declaration;
    }
}

}  // namespace
