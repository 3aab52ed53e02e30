// The program's pictures, caption, version and manifest load as the pages
// and the platform expect them.
#include "res/resource.h"
#include "support/TestSupport.h"

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <vector>

using namespace testsupport;

static HINSTANCE Self() { return ::GetModuleHandleA(nullptr); }

TEST(Resources, SideStripFillsItsPlaceAndStateImagesHaveAMagentaBackground) {
    HBITMAP side = HBITMAP(::LoadImageA(Self(), MAKEINTRESOURCEA(IDB_SIDE_PICTURE), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(nullptr, side);
    BITMAP info{};
    ::GetObjectA(side, sizeof info, &info);
    EXPECT_EQ(122, info.bmWidth) << "81 dialog units";
    EXPECT_EQ(283, info.bmHeight) << "174 dialog units";
    ::DeleteObject(side);

    HBITMAP states =
        HBITMAP(::LoadImageA(Self(), MAKEINTRESOURCEA(IDB_STATE_IMAGES), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(nullptr, states);
    DIBSECTION dib{};
    ::GetObjectA(states, sizeof dib, &dib);
    EXPECT_EQ(45, dib.dsBm.bmWidth) << "three images of 15";
    ASSERT_EQ(24, dib.dsBm.bmBitsPixel);
    // Bottom-up rows: the last row is the top one; its first pixel is background.
    const BYTE* top = static_cast<BYTE*>(dib.dsBm.bmBits) + dib.dsBm.bmWidthBytes * (dib.dsBm.bmHeight - 1);
    EXPECT_TRUE(top[0] == 0xFF && top[1] == 0x00 && top[2] == 0xFF);
    ::DeleteObject(states);
}

TEST(Resources, IconClipAndGlobeLoad) {
    for (int size : {32, 16})
        EXPECT_NE(nullptr, ::LoadImageA(Self(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, size, size, 0)) << size;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_ANIMATE_CLASS};
    ::InitCommonControlsEx(&icc);
    HWND animation = ::CreateWindowExA(0, ANIMATE_CLASSA, "", WS_POPUP | ACS_CENTER, 0, 0, 272, 60, nullptr, nullptr,
                                       Self(), nullptr);
    EXPECT_TRUE(::SendMessageA(animation, ACM_OPENA, 0, IDR_DOWNLOAD_CLIP)) << "the RLE clip is refused";
    EXPECT_TRUE(::SendMessageA(animation, ACM_PLAY, 1, MAKELONG(0, 30)));
    ::DestroyWindow(animation);
    EXPECT_NE(nullptr, ::LoadImageA(nullptr, (BinDir() + "\\globe.ani").c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
}

TEST(Resources, ProgramCarriesCaptionVersionAndCommonControlsManifest) {
    char caption[64] = "";
    ::LoadStringA(Self(), IDS_WIZARD_CAPTION, caption, sizeof caption);
    EXPECT_STREQ("ZEP Setup Wizard", caption);

    const std::string program = BinDir() + "\\zepsetup.exe";
    DWORD ignored = 0;
    std::vector<char> data(::GetFileVersionInfoSizeA(program.c_str(), &ignored));
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(::GetFileVersionInfoA(program.c_str(), 0, DWORD(data.size()), data.data()));
    char* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\ProductName", (void**)&text, &length));
    EXPECT_STREQ("ZEP", text);

    HMODULE module = ::LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    HRSRC manifest = ::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(nullptr, manifest);
    const std::string xml(static_cast<const char*>(::LockResource(::LoadResource(module, manifest))),
                          ::SizeofResource(module, manifest));
    EXPECT_NE(std::string::npos, xml.find("Microsoft.Windows.Common-Controls")) << xml;
    EXPECT_NE(std::string::npos, xml.find("version=\"6.0.0.0\"")) << xml;
    EXPECT_NE(std::string::npos, xml.find("level=\"requireAdministrator\"")) << xml;
    ::FreeLibrary(module);
}
