// What the built ConverterSetup.exe says of itself: the version resource in
// both languages and the manifest's declarations, read back from the file the
// way Windows' file properties and error reports read them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (; *text; ++text) wide += static_cast<wchar_t>(*text);
    return wide;
}

const std::wstring kVersion = Widen(CS_PROJECT_VERSION);
const std::wstring kProgram = Widen(CS_PROGRAM_PATH);

struct VersionValue {
    const wchar_t* block;
    const wchar_t* key;
    std::wstring expected;
};

const VersionValue kVersionValues[] = {
    {L"040904b0", L"ProductName", L"Converter Setup"},
    {L"040904b0", L"FileDescription", L"Converter Setup"},
    {L"040904b0", L"CompanyName", L""},
    {L"040904b0", L"FileVersion", kVersion},
    {L"040904b0", L"ProductVersion", kVersion},
    {L"040904b0", L"OriginalFilename", L"ConverterSetup.exe"},
    {L"041104b0", L"ProductName", L"\u30b3\u30f3\u30d0\u30fc\u30bf\u8a2d\u5b9a"},
    {L"041104b0", L"FileDescription", L"\u30b3\u30f3\u30d0\u30fc\u30bf\u8a2d\u5b9a"},
    {L"041104b0", L"CompanyName", L""},
    {L"041104b0", L"FileVersion", kVersion},
    {L"041104b0", L"ProductVersion", kVersion},
    {L"041104b0", L"OriginalFilename", L"ConverterSetup.exe"},
};

std::vector<char> VersionInfo() {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(kProgram.c_str(), &ignored);
    std::vector<char> info(size);
    if (size == 0 || !GetFileVersionInfoW(kProgram.c_str(), 0, size, info.data())) info.clear();
    return info;
}

TEST(ProgramFile, VersionResourceNamesTheProductInBothLanguages) {
    std::vector<char> info = VersionInfo();
    ASSERT_FALSE(info.empty()) << "no version resource in the program";
    for (const VersionValue& row : kVersionValues) {
        const std::wstring path = std::wstring(L"\\StringFileInfo\\") + row.block + L"\\" + row.key;
        void* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), path.c_str(), &value, &length)) << "missing " << path;
        // Byte for byte, up to the terminator the resource stores.
        const std::wstring actual(static_cast<const wchar_t*>(value), length ? length - 1 : 0);
        EXPECT_EQ(actual, row.expected) << path;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const std::wstring numbers = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
                                 std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
                                 std::to_wstring(HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(numbers, kVersion);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
}

TEST(ProgramFile, ManifestAsksNoElevationAndNamesEverySupportedWindows) {
    HMODULE program = LoadLibraryExW(kProgram.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr);
    HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr) << "no manifest";
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(program, found)));
    const std::string manifest(bytes, SizeofResource(program, found));
    const std::string version = std::string("version=\"") + CS_PROJECT_VERSION + ".0\"";
    const char* const kDeclarations[] = {
        "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
        "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",  // 7
        "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>",  // 8
        "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>",  // 8.1
        "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",  // 10 and 11
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        version.c_str(),
    };
    for (const char* declaration : kDeclarations) {
        EXPECT_NE(manifest.find(declaration), std::string::npos) << declaration;
    }
    FreeLibrary(program);
}

}  // namespace
