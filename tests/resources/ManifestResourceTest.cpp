#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::string ManifestText() {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    if (!found) return {};
    const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    return data ? std::string(data, SizeofResource(nullptr, found)) : std::string();
}

// The XML element that contains `marker`, from its '<' to its '>'.
std::string ElementAround(const std::string& text, const std::string& marker) {
    size_t at = text.find(marker);
    if (at == std::string::npos) return {};
    size_t open = text.rfind('<', at);
    size_t close = text.find('>', at);
    if (open == std::string::npos || close == std::string::npos) return {};
    return text.substr(open, close - open + 1);
}

}  // namespace

TEST(ManifestResource, AsksForPerMonitorDpiCommonControls6AndNoElevation) {
    std::string manifest = ManifestText();
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find(">PerMonitorV2<"), std::string::npos);
    EXPECT_NE(manifest.find(">true/pm<"), std::string::npos);
    EXPECT_NE(ElementAround(manifest, "requestedExecutionLevel").find("level=\"asInvoker\""), std::string::npos);
    std::string controls = ElementAround(manifest, "Microsoft.Windows.Common-Controls");
    EXPECT_NE(controls.find("version=\"6.0.0.0\""), std::string::npos) << controls;
    EXPECT_NE(controls.find("publicKeyToken=\"6595b64144ccf1df\""), std::string::npos) << controls;
}

// The loader applies the manifest: comctl32 resolves to the side-by-side version 6 assembly.
TEST(ManifestResource, ProcessRunsWithCommonControlsVersion6) {
    ACTCTX_SECTION_KEYED_DATA redirection{};
    redirection.cbSize = sizeof(redirection);
    EXPECT_TRUE(FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, L"comctl32.dll",
                                         &redirection));
    HMODULE controls = LoadLibraryW(L"comctl32.dll");
    ASSERT_NE(controls, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(controls, path, MAX_PATH);
    std::wstring loaded = path;
    CharLowerW(loaded.data());
    EXPECT_NE(loaded.find(L"\\winsxs\\"), std::wstring::npos) << testing::PrintToString(loaded);
    EXPECT_NE(loaded.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."), std::wstring::npos);
    FreeLibrary(controls);
}

TEST(ManifestResource, ProcessIsPerMonitorDpiAwareFromTheStart) {
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()), DPI_AWARENESS_PER_MONITOR_AWARE);
}
