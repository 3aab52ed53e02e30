// The selection dialogs run modally on this thread, as the pages run them,
// while a user on a second thread reads and answers them.
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "robot/Robot.h"
#include "select/DependentsDlg.h"
#include "select/DestinationDlg.h"
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

// Dependents of dependents come first, each once, although the catalogue runs in circles.
TEST(SelectionDialogsTest, DependentsListsEveryDependentOnceAndTakesTheAnswer) {
    CComponent c[5];  // a set of pointers walks them in this order
    const std::vector<int> dependents[] = {{1, 2}, {3}, {3, 4}, {0, 1}, {}};
    for (int i = 0; i < 5; ++i) {
        c[i].m_strName = std::string(1, char('A' + i));
        for (int d : dependents[i]) c[i].m_mapDependents.insert(&c[d]);
    }
    const struct { int chosen, press; const char* seen; } cases[] = {
        {4, -VK_ESCAPE, "|2"}, {0, IDYES, "ECDB|6"}, {3, IDNO, "ECBA|7"}, {1, -VK_RETURN, "ECAD|6"}};
    for (const auto& t : cases) {
        CDependentsDlg dlg;
        dlg.m_pComponent = &c[t.chosen];
        const auto read = [](HWND h) { return GetDlgText(h, 1013) + "|" + List(::GetDlgItem(h, 1015)); };
        EXPECT_EQ("The following components depends on '" + c[t.chosen].m_strName + "' and will be also removed:|" +
                      t.seen, Show(dlg, "dependents", read, {t.press}));
    }
}

// Each showing starts at the install folder and the last choice; a folder of the user's must exist or be
// one that can be made, which leaves its parents made.
TEST(SelectionDialogsTest, DestinationTakesTheRecommendedFolderOrAUsableOneOfTheUsers) {
    const std::string dir = testsupport::MakeScratchDir("destination"), made = dir + "\\new\\leaf", bad = "C:\\b<>";
    const std::string rec = theApp.m_strInstallDir = dir + "\\rec", file = dir + "\\f";
    ASSERT_TRUE(testsupport::WriteFile(file, ""));
    DeleteRegValue(ZEP_CLIENT_KEY, "Path");
    CDestinationDlg dlg;
    // A radio button clicked (0: none), the folder typed; Folder and Browse enabled; OK, then Cancel if refused.
    const struct { int radio; std::string typed; bool refused; std::string seen, dir; } cases[] = {
        {0, bad, false, "00|1", rec}, {1002, made, false, "11|1", made}, {0, file, false, "11|1", file},
        {0, bad, true, "11|" + AppTitle() + ": Invalid path was entered|focus 1000|2", file},
        {1001, bad, false, "00|1", rec}};
    for (const auto& t : cases) {
        const std::string shown = "Install to " + rec + " (Recommended)|" + theApp.m_strInstallDir + "|";
        EXPECT_EQ(shown + t.seen, Show(dlg, "destination", [&](HWND hDlg) {
            const HWND edit = ::GetDlgItem(hDlg, 1000);
            std::string seen = GetDlgText(hDlg, 1001) + "|" + GetText(edit) + "|";
            if (t.radio) ::SendMessageA(::GetDlgItem(hDlg, t.radio), BM_CLICK, 0, 0);
            seen += std::to_string(IsEnabled(hDlg, 1000)) + std::to_string(IsEnabled(hDlg, 1012));
            SetText(edit, t.typed);
            ClickId(hDlg, IDOK);
            if (!t.refused) return seen;
            HWND box = WaitMessageBox(kPid, 10000, "Invalid path was entered");
            seen += "|" + GetText(box) + ": " + MessageBoxText(box) + (MessageBoxHasIcon(box) ? " (icon)" : "");
            AnswerMessageBox(box, IDOK);
            WaitUntil([&] { return ThreadInput(hDlg).hwndFocus == edit; }, 10000);
            seen += "|focus " + std::to_string(::GetDlgCtrlID(ThreadInput(hDlg).hwndFocus));
            ClickId(hDlg, IDCANCEL);
            return seen;
        }));
        char stored[MAX_PATH] = "";
        ReadRegString(ZEP_CLIENT_KEY, "Path", "", stored, sizeof stored);
        EXPECT_EQ(t.dir + "|" + t.dir, theApp.m_strInstallDir + "|" + stored);
    }
    EXPECT_TRUE(!testsupport::FileExists(made) && testsupport::FileExists(dir + "\\new"));
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
