// The library's resources as a host or Explorer reads them: the version
// resource through the version API, the icon and the OK button's glyph.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "platform/runtime/HostPath.h"
#include "tests/wine/support/Plugin.h"

namespace ovtest {
namespace {

// The version API, from version.dll, which the tests do not link.
class VersionApi {
public:
    VersionApi() : module_(LoadLibraryW(L"version.dll")) {
        size_ = reinterpret_cast<Size_t>(reinterpret_cast<void*>(GetProcAddress(module_, "GetFileVersionInfoSizeW")));
        info_ = reinterpret_cast<Info_t>(reinterpret_cast<void*>(GetProcAddress(module_, "GetFileVersionInfoW")));
        query_ = reinterpret_cast<Query_t>(reinterpret_cast<void*>(GetProcAddress(module_, "VerQueryValueW")));
    }
    ~VersionApi() {
        if (module_) FreeLibrary(module_);
    }
    VersionApi(const VersionApi&) = delete;
    VersionApi& operator=(const VersionApi&) = delete;

    bool Usable() const { return size_ && info_ && query_; }
    std::vector<char> Read(const std::wstring& file) const {
        DWORD ignored = 0;
        std::vector<char> block(size_(file.c_str(), &ignored));
        if (block.empty() || !info_(file.c_str(), 0, DWORD(block.size()), block.data())) block.clear();
        return block;
    }
    // The value at `path` in a block read by Read; null when absent.
    const void* Query(const std::vector<char>& block, const wchar_t* path, UINT& length) const {
        void* value = nullptr;
        return query_(block.data(), path, &value, &length) ? value : nullptr;
    }

private:
    typedef DWORD(WINAPI* Size_t)(LPCWSTR, LPDWORD);
    typedef BOOL(WINAPI* Info_t)(LPCWSTR, DWORD, DWORD, LPVOID);
    typedef BOOL(WINAPI* Query_t)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
    HMODULE module_;
    Size_t size_ = nullptr;
    Info_t info_ = nullptr;
    Query_t query_ = nullptr;
};

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

TEST(LibraryResources, VersionIsEightWithChinesePrcCodePage936) {
    VersionApi api;
    ASSERT_TRUE(api.Usable());
    const std::vector<char> block = api.Read(Wide(platform::ExecutableDirectory() + "Orvale8.dll"));
    ASSERT_FALSE(block.empty());

    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(api.Query(block, L"\\", length));
    ASSERT_NE(nullptr, fixed);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(MAKELONG(0, 8), LONG(fixed->dwFileVersionMS));
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(0, 8), LONG(fixed->dwProductVersionMS));
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    EXPECT_EQ(DWORD(VFT_DLL), fixed->dwFileType);

    const auto* translation = static_cast<const WORD*>(api.Query(block, L"\\VarFileInfo\\Translation", length));
    ASSERT_NE(nullptr, translation);
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0804, translation[0]);
    EXPECT_EQ(936, translation[1]);

    const auto* product =
        static_cast<const wchar_t*>(api.Query(block, L"\\StringFileInfo\\080403A8\\ProductVersion", length));
    ASSERT_NE(nullptr, product);
    EXPECT_EQ(std::wstring(L"8.0"), product);
    const auto* file = static_cast<const wchar_t*>(api.Query(block, L"\\StringFileInfo\\080403A8\\FileVersion", length));
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(std::wstring(L"8.0.0.0"), file);
    for (const wchar_t* name : {L"FileDescription", L"ProductName", L"OriginalFilename"}) {
        const auto* text = static_cast<const wchar_t*>(
            api.Query(block, (std::wstring(L"\\StringFileInfo\\080403A8\\") + name).c_str(), length));
        ASSERT_NE(nullptr, text) << name;
        EXPECT_GT(std::wstring(text).size(), 0u) << name;
    }
}

TEST(LibraryResources, CarriesMainIconAndAnOkGlyphTransparentOnMagenta) {
    Plugin plugin;
    ASSERT_TRUE(plugin.Load());
    EXPECT_NE(nullptr, FindResourceW(plugin.Module(), L"MAINICON", MAKEINTRESOURCEW(14)));  // RT_GROUP_ICON
    HICON icon = static_cast<HICON>(LoadImageW(plugin.Module(), L"MAINICON", IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(nullptr, icon);
    if (icon) DestroyIcon(icon);

    HRSRC found = FindResourceW(plugin.Module(), L"BBOK", MAKEINTRESOURCEW(2));  // RT_BITMAP
    ASSERT_NE(nullptr, found);
    const auto* info = static_cast<const BITMAPINFO*>(LockResource(LoadResource(plugin.Module(), found)));
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(16, info->bmiHeader.biWidth);
    EXPECT_EQ(16, info->bmiHeader.biHeight);
    EXPECT_EQ(8, info->bmiHeader.biBitCount);
    const DWORD colours = info->bmiHeader.biClrUsed ? info->bmiHeader.biClrUsed : 256;
    EXPECT_EQ(256u, colours);
    // The bottom-left pixel (the first of the bottom-up rows) is the colour
    // the button leaves out: magenta. Some pixel is green.
    const auto* pixels = reinterpret_cast<const BYTE*>(info->bmiColors + colours);
    const RGBQUAD corner = info->bmiColors[pixels[0]];
    EXPECT_EQ(255, corner.rgbRed);
    EXPECT_EQ(0, corner.rgbGreen);
    EXPECT_EQ(255, corner.rgbBlue);
    bool green = false;
    for (int i = 0; i < 16 * 16; ++i) {
        const RGBQUAD c = info->bmiColors[pixels[i]];
        green |= c.rgbGreen > 0x40 && c.rgbRed == 0 && c.rgbBlue == 0;
    }
    EXPECT_TRUE(green);
}

}  // namespace
}  // namespace ovtest
