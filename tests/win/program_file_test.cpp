// What the built ConverterSetup.exe says of itself, read back from the file as
// the file's properties and error reports read it: the version resource in
// both languages and the manifest's declarations.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#define WIDE2(text) L##text
#define WIDE(text) WIDE2(text)

TEST(ProgramFile, VersionResourceNamesTheProductInBothLanguages) {
    const wchar_t* program = WIDE(CS_PROGRAM_PATH);
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(program, &ignored));
    ASSERT_TRUE(!info.empty() && GetFileVersionInfoW(program, 0, info.size(), info.data()));
    const wchar_t* const kJapaneseName = L"\u30b3\u30f3\u30d0\u30fc\u30bf\u8a2d\u5b9a";
    const std::wstring rows[][3] = {
        {L"040904b0", L"ProductName", L"Converter Setup"}, {L"040904b0", L"FileDescription", L"Converter Setup"},
        {L"041104b0", L"ProductName", kJapaneseName},      {L"041104b0", L"FileDescription", kJapaneseName},
        {L"040904b0", L"FileVersion", WIDE(CS_PROJECT_VERSION)},
        {L"041104b0", L"ProductVersion", WIDE(CS_PROJECT_VERSION)},
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

TEST(ProgramFile, ManifestAsksNoElevationAndNamesEverySupportedWindows) {
    HMODULE program = LoadLibraryExW(WIDE(CS_PROGRAM_PATH), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = program ? FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)) : nullptr;
    ASSERT_NE(found, nullptr) << "no manifest";
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(program, found))),
                               SizeofResource(program, found));
    for (const std::string declaration :
         {"<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
          "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",   // 7
          "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>",   // 8
          "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>",   // 8.1
          "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",   // 10 and 11
          "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
          "version=\"" CS_PROJECT_VERSION ".0\""}) {
        EXPECT_NE(manifest.find(declaration), std::string::npos) << declaration;
    }
}
