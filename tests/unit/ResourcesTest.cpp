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

TEST(Resources, SidePictureHasTheSizeOfItsStripAndTheStateImagesAMagentaMask) {
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
    EXPECT_EQ(45, dib.dsBm.bmWidth);
    EXPECT_EQ(15, dib.dsBm.bmHeight);
    ASSERT_EQ(24, dib.dsBm.bmBitsPixel);
    // Bottom-up rows: the last row is the top one; its first pixel is background.
    auto* top = static_cast<BYTE*>(dib.dsBm.bmBits) + dib.dsBm.bmWidthBytes * 14;
    EXPECT_EQ(0xFF, top[0]);
    EXPECT_EQ(0x00, top[1]);
    EXPECT_EQ(0xFF, top[2]);
    ::DeleteObject(states);

    HIMAGELIST list = ::ImageList_LoadImageA(Self(), MAKEINTRESOURCEA(IDB_STATE_IMAGES), 15, 1, RGB(255, 0, 255),
                                             IMAGE_BITMAP, LR_CREATEDIBSECTION);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(3, ::ImageList_GetImageCount(list));
    ::ImageList_Destroy(list);
}

TEST(Resources, IconClipAndGlobeLoad) {
    EXPECT_NE(nullptr, ::LoadImageA(Self(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(nullptr, ::LoadImageA(Self(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0));

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_ANIMATE_CLASS};
    ::InitCommonControlsEx(&icc);
    HWND animation = ::CreateWindowExA(0, ANIMATE_CLASSA, "", WS_POPUP | ACS_CENTER, 0, 0, 272, 60, nullptr, nullptr,
                                       Self(), nullptr);
    ASSERT_NE(nullptr, animation);
    EXPECT_TRUE(::SendMessageA(animation, ACM_OPENA, 0, IDR_DOWNLOAD_CLIP)) << "the RLE clip is accepted";
    EXPECT_TRUE(::SendMessageA(animation, ACM_PLAY, 1, MAKELONG(0, 30)));
    ::DestroyWindow(animation);

    std::string globe = BinDir() + "\\globe.ani";
    HANDLE cursor = ::LoadImageA(nullptr, globe.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
    EXPECT_NE(nullptr, cursor) << globe;
}

TEST(Resources, ProgramCarriesCaptionVersionAndCommonControlsManifest) {
    char caption[64] = "";
    ::LoadStringA(Self(), IDS_WIZARD_CAPTION, caption, sizeof caption);
    EXPECT_STREQ("ZEP Setup Wizard", caption);

    std::string program = BinDir() + "\\zepsetup.exe";
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(program.c_str(), &ignored);
    ASSERT_NE(0u, size);
    std::vector<char> data(size);
    ASSERT_TRUE(::GetFileVersionInfoA(program.c_str(), 0, size, data.data()));
    char* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\ProductName", (void**)&text, &length));
    EXPECT_STREQ("ZEP", text);

    HMODULE module = ::LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    HRSRC manifest = ::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(nullptr, manifest);
    std::string xml(static_cast<const char*>(::LockResource(::LoadResource(module, manifest))),
                    ::SizeofResource(module, manifest));
    EXPECT_NE(std::string::npos, xml.find("Microsoft.Windows.Common-Controls"));
    EXPECT_NE(std::string::npos, xml.find("version=\"6.0.0.0\""));
    ::FreeLibrary(module);
}
