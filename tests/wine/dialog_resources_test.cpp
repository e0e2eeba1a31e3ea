// The library's resources as a host, an installer or Explorer reads them: the
// version texts through the version API, under the language its translation
// table declares, and the icon and the OK button's glyph by their names.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Paths.h"
#include "tests/support/Plugin.h"

namespace ovtest {
namespace {

// OV_VERSION is the release's version, major.minor.patch, from VERSION.
const std::wstring kRelease = L"" OV_VERSION;

// The file's version block; empty when it has none.
std::vector<char> ReadVersionBlock(const std::wstring& file) {
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeW(file.c_str(), &ignored));
    if (block.empty() || !GetFileVersionInfoW(file.c_str(), 0, DWORD(block.size()), block.data())) block.clear();
    return block;
}

const void* Query(std::vector<char>& block, const std::wstring& path, UINT& length) {
    void* value = nullptr;
    return VerQueryValueW(block.data(), path.c_str(), &value, &length) ? value : nullptr;
}

// A string of the first language the translation table names, looked up as
// Microsoft's documentation shows; null when the table or the text is absent.
const wchar_t* QueryText(std::vector<char>& block, const wchar_t* name) {
    UINT length = 0;
    const auto* translation = static_cast<const WORD*>(Query(block, L"\\VarFileInfo\\Translation", length));
    if (!translation || length < 2 * sizeof(WORD)) return nullptr;
    wchar_t language[9];
    swprintf(language, 9, L"%04x%04x", translation[0], translation[1]);
    return static_cast<const wchar_t*>(
        Query(block, std::wstring(L"\\StringFileInfo\\") + language + L"\\" + name, length));
}

TEST(LibraryResources, VersionTextsAndNumbersNameTheRelease) {
    Plugin plugin;
    ASSERT_TRUE(plugin.Load());
    std::vector<char> block = ReadVersionBlock(platform::WideFromUtf8(platform::ModulePath(plugin.Module())));
    ASSERT_FALSE(block.empty());

    const wchar_t* file = QueryText(block, L"FileVersion");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(kRelease + L".0", file);
    // The product version may name the release shorter, never another one.
    const wchar_t* product = QueryText(block, L"ProductVersion");
    ASSERT_NE(nullptr, product);
    EXPECT_EQ(0u, (kRelease + L".").find(std::wstring(product) + L".")) << product;
    for (const wchar_t* name : {L"FileDescription", L"ProductName", L"OriginalFilename"}) {
        const wchar_t* text = QueryText(block, name);
        ASSERT_NE(nullptr, text) << name;
        EXPECT_NE(L'\0', text[0]) << name;
    }

    // Installers compare the numbers, not the text.
    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query(block, L"\\", length));
    ASSERT_NE(nullptr, fixed);
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(3, swscanf(kRelease.c_str(), L"%u.%u.%u", &major, &minor, &patch));
    EXPECT_EQ(MAKELONG(minor, major), LONG(fixed->dwFileVersionMS));
    EXPECT_EQ(MAKELONG(0, patch), LONG(fixed->dwFileVersionLS));
    EXPECT_EQ(DWORD(VFT_DLL), fixed->dwFileType);
}

TEST(LibraryResources, IconAndOkGlyphLoadByTheirNames) {
    Plugin plugin;
    ASSERT_TRUE(plugin.Load());
    HICON icon = LoadIconW(plugin.Module(), L"MAINICON");
    ASSERT_NE(nullptr, icon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    const platform::UniqueBitmap colour(info.hbmColor), mask(info.hbmMask);
    EXPECT_TRUE(info.fIcon);

    // The name the property dialog's design asks for (ui/frmProperty.design.cpp),
    // loaded as the OK button loads it: without it the button has no glyph.
    const platform::UniqueBitmap glyph(
        static_cast<HBITMAP>(LoadImageW(plugin.Module(), L"BBOK", IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    ASSERT_TRUE(glyph.Get());
    BITMAP bitmap{};
    ASSERT_TRUE(GetObjectW(glyph.Get(), sizeof bitmap, &bitmap));
    EXPECT_GT(bitmap.bmWidth, 0);
    EXPECT_GT(bitmap.bmHeight, 0);
}

}  // namespace
}  // namespace ovtest
