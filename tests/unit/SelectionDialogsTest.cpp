// The skipped-components dialog run modally on this thread, as the pages run
// it, while a user on a second thread reads and answers it. The other
// selection dialogs are worked on their pages (e2e/SelectionTest).
#include "app/SetupApp.h"
#include "robot/Robot.h"
#include "select/SkippedComponentsDlg.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace robot;
static const DWORD kPid = ::GetCurrentProcessId();

// What user read off the dialog before clicking buttons and pressing keys (negative: virtual-key codes),
// then the dialog's result (IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7).
static std::string Show(CDialog& dlg, const char* name, const std::function<std::string(HWND)>& user,
                        std::initializer_list<int> presses = {}) {
    std::string seen;
    std::thread other([&] {
        HWND hDlg = WaitTopDialog(kPid, 20000);
        SavePaintedScreenshot(hDlg, testsupport::ArtefactsDir() + "\\dialog-" + name + ".bmp", 10000);
        seen = user(hDlg);
        for (int p : presses) p > 0 ? ClickId(hDlg, p) : void(::PostMessageA(hDlg, WM_KEYDOWN, -p, 0));
    });
    const INT_PTR result = dlg.DoModal();
    other.join();
    return seen + "|" + std::to_string(result);
}

// The rows of a list whose column spans it ("narrow" otherwise).
static std::string List(HWND list) {
    RECT client{};
    ::GetClientRect(list, &client);
    std::string text = ListView_GetColumnWidth(list, 0) == client.right ? "" : "narrow";
    for (const auto& row : ReadListView(list, 1)) text += row[0];
    return text;
}

// Mode 2 lists packages with files left to download, and only Cancel when nothing else would be installed;
// mode 0 those without info, taking them out of the run.
TEST(SelectionDialogsTest, SkippedListsThePackagesOfItsMode) {
    CComponent c[4];  // A and C lack their info; all but D have files left
    for (int i = 0; i < 4; ++i) {
        c[i].m_strName = std::string(1, char('A' + i));
        c[i].m_nState = c[i].m_nAction = 1;
        auto& package = theApp.m_mapPackages.SetAt(c[i].m_strName, std::make_unique<CPackageInfo>("", &c[i]));
        package->m_bNeedInfo = i % 2 == 0;
        package->m_nFilesToDownload = i < 3;
    }
    theApp.m_nToInstall = 2;
    const struct { int mode, toDownload, press; const char* seen; } cases[] = {
        {2, 2, -VK_RETURN, "Setup was unable to download all needed files for the following components:|These "
                           "components will not be installed/upgraded.\nPress Cancel to exit Setup.|B|hidden|2|"
                           "A11B11C11D11"},
        {0, 9, IDOK, "Package Info files for the following components were not found locally and Setup Wizard was "
                     "unable to download them from Internet:|These components will not be processed.\nContinue setup "
                     "with the rest of the packages ?|AC|shown|1|A00B11C00D11"}};
    for (const auto& t : cases) {
        theApp.m_nPackagesToDownload = t.toDownload;
        CSkippedComponentsDlg dlg;
        dlg.m_nListMode = t.mode;
        std::string seen = Show(dlg, t.mode ? "skipped-files" : "skipped-info", [](HWND h) {
            return GetDlgText(h, 1013) + "|" + GetDlgText(h, 1014) + "|" + List(::GetDlgItem(h, 1005)) +
                   (IsVisible(h, IDOK) ? "|shown" : "|hidden");
        }, {t.press, IDCANCEL}) + "|";
        for (const CComponent& x : c) seen += x.m_strName + std::to_string(x.m_nState) + std::to_string(x.m_nAction);
        EXPECT_EQ(t.seen, seen);
    }
    theApp.m_mapPackages.RemoveAll();
}
