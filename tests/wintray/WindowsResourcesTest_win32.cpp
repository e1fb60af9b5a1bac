#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// This test program carries the resources that quorvel.exe carries.
std::vector<BYTE> OwnVersionInfo() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(self, &handle);
    std::vector<BYTE> data(size);
    if (size == 0 || !::GetFileVersionInfoW(self, 0, size, data.data())) data.clear();
    return data;
}

std::wstring StringValue(std::vector<BYTE>& Info, const std::wstring& Name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = L"\\StringFileInfo\\041104B0\\" + Name;
    if (!::VerQueryValueW(Info.data(), path.c_str(), &value, &length) || length == 0) return L"<missing>";
    return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(WindowsResources, TheVersionBlockHoldsTheProjectsVersion) {
    std::vector<BYTE> info = OwnVersionInfo();
    ASSERT_FALSE(info.empty()) << "no version resource";
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", &value, &length));
    const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
    const std::uint32_t parts[] = {QUORVEL_VERSION_PARTS};
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, parts[0] << 16 | parts[1]);
    EXPECT_EQ(fixed.dwFileVersionLS, parts[2] << 16 | parts[3]);
    EXPECT_EQ(fixed.dwProductVersionMS, fixed.dwFileVersionMS);
    EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));

    EXPECT_EQ(StringValue(info, L"FileVersion"), QUORVEL_VERSION_TEXT);
    EXPECT_EQ(StringValue(info, L"ProductVersion"), QUORVEL_VERSION_TEXT);
    EXPECT_EQ(StringValue(info, L"ProductName"), L"Quorvel");
    EXPECT_EQ(StringValue(info, L"FileDescription"), L"Quorvel メールチェッカー");
    EXPECT_EQ(StringValue(info, L"OriginalFilename"), L"quorvel.exe");

    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x0411);
    EXPECT_EQ(static_cast<const WORD*>(value)[1], 1200);
}

#pragma pack(push, 2)
struct TIconGroupEntry {
    BYTE Width, Height, Colours, Reserved;
    WORD Planes, BitCount;
    DWORD Bytes;
    WORD Id;
};
#pragma pack(pop)

TEST(WindowsResources, TheIconComesInEverySizeTheShellAsksFor) {
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(self, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(found, nullptr);
    const auto* group = static_cast<const BYTE*>(::LockResource(::LoadResource(self, found)));
    const WORD count = *reinterpret_cast<const WORD*>(group + 4);
    std::vector<int> sides;
    for (WORD i = 0; i < count; ++i) {
        const auto* entry = reinterpret_cast<const TIconGroupEntry*>(group + 6 + i * sizeof(TIconGroupEntry));
        sides.push_back(entry->Width == 0 ? 256 : entry->Width);
        EXPECT_EQ(entry->BitCount, 32) << sides.back();
    }
    EXPECT_EQ(sides, (std::vector<int>{16, 20, 24, 32, 48, 64, 256}));
    for (int side : {16, 20, 32}) {
        HICON icon = static_cast<HICON>(::LoadImageW(self, MAKEINTRESOURCEW(1), IMAGE_ICON, side, side, 0));
        EXPECT_NE(icon, nullptr) << side;
        if (icon) ::DestroyIcon(icon);
    }
}

TEST(WindowsResources, TheManifestAsksForCommonControlsAndDpiAwarenessNotUtf8) {
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(self, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(self, found))),
                               ::SizeofResource(self, found));
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
    // Stored passwords and what goes to the server are bytes of the
    // system's code page: the program must not switch it to UTF-8.
    EXPECT_EQ(manifest.find("<activeCodePage"), std::string::npos);
}

}  // namespace
