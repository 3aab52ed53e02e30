#include "support/WizardDriver.h"

#include "app/Registry.h"
#include "app/SetupWizard.h"
#include "pages/FinishPage.h"
#include "res/resource.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstdio>
#include <set>
#include <thread>

namespace wizard {

const char kProductName[] = "ZEP Client 2.1";
const char kAskCancel[] = "Setup process is incomplete.\nAre you sure you want to cancel ?";
const char kAskLocal[] = "Setup was unable to get updated components list from ZEP Setup internet site.\n"
                         " Do you want to preceed with local components list ?";
const Page kWelcome{IDC_WELCOME_TITLE, kProductName, "welcome"};
const Page kLicense{IDC_LICENSE_TITLE, "End-User License Agreement", "license"};
const Page kInstallOrDownload{IDC_MODE_TITLE, "Install / Download Options", "install-or-download"};
const Page kComponents{IDC_COMPONENTS_TITLE, "Select components", "components"};
const Page kRemoving{IDC_REMOVING_TITLE, "Removing components", "removing"};
const Page kPreparing{IDC_PREPARING_TITLE, "Preparing to setup", "preparing"};
const Page kChooseSite{IDC_SITES_TITLE, "Choose download location", "choose-site"};
const Page kFinish{IDC_FINISH_TITLE, "Setup Wizard Finished", "finish"};
const Page kWelcomeOfAnyProduct{IDC_WELCOME_SUBTITLE, "Intelligent Setup Wizard", "welcome"};

namespace {

// No test may restart the machine it runs on: the Finish page's privilege
// step fails in every program a test starts.
const bool kShutdownRefused = g_bRefuseShutdownPrivilege = true;

std::string ButtonNames(unsigned buttons) {
    std::string names;
    for (auto [flag, name] : {std::pair{Back, "Back"}, {Next, "Next"}, {Finish, "Finish"}})
        if (buttons & flag) names += names.empty() ? name : std::string("+") + name;
    return names.empty() ? "none" : names;
}

std::string Expected(const Step& step) {
    std::string want = std::string(step.page->text) + " | " + ButtonNames(step.buttons);
    for (const auto& shown : step.shows) want += " | " + shown.second;
    return want;
}

}  // namespace

std::string Shown(HWND page, int id) {
    HWND control = ::GetDlgItem(page, id);
    if (!control || !::IsWindowVisible(control)) return "hidden";
    bool checked = robot::ClassName(control) == "Button" && ::SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return robot::GetText(control) + (checked ? " [x]" : "");
}

std::string ListText(HWND list, int column, int columns) {
    std::string text;
    for (const auto& row : robot::ReadListView(list, columns)) {
        for (int i = 0; i < columns; ++i)
            if (column < 0 || i == column) text += row[i] + (column < 0 && i + 1 < columns ? "|" : "");
        text += ",";
    }
    return text.substr(0, text.size() - 1);
}

std::string ComponentRows(HWND page) { return ListText(::GetDlgItem(page, IDC_COMPONENTS_LIST), -1); }

HWND WaitDialogWith(int controlId, DWORD pid) {
    HWND found = nullptr;
    robot::WaitUntil(
        [&] {
            for (HWND dlg : robot::TopDialogs(pid))
                if (::GetDlgItem(dlg, controlId) && !::GetDlgItem(dlg, robot::kNextButton)) found = dlg;
            return found != nullptr;
        },
        kTimeoutMs);
    return found;
}

static std::string StoredFolder(const char* name) {
    const std::string folder = testsupport::StoredText(ZEP_CLIENT_KEY, name);
    return folder == "-" ? "" : folder;
}
std::string StoredInstallFolder(HWND) { return StoredFolder("Path"); }
std::string StoredDownloadFolder(HWND) { return StoredFolder("DownloadPath"); }

std::vector<Step> UpTo(const std::vector<Step>& road, const Page& page) {
    std::vector<Step> steps;
    for (const Step& step : road) {
        steps.push_back(step);
        if (step.page == &page) break;
    }
    return steps;
}

bool Wizard::Launch(const std::string& name, const std::string& setupInfo, const std::string& license, bool fresh,
                    const std::string& program) {
    m_dir = testsupport::MakeScratchDir(name);
    if (!setupInfo.empty()) testsupport::WriteFile(m_dir + "\\zepsetup.sif", setupInfo);
    if (!license.empty()) testsupport::WriteFile(m_dir + "\\license.txt", license);
    if (fresh) ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, ZEP_CLIENT_KEY);
    // Wine once refused the sixth launch in a row, just after the fifth
    // program ended, for a reason not known yet: a refusal is tried again,
    // and said.
    const std::string exe = program.empty() ? testsupport::BinDir() + "\\zepsetup.exe" : program;
    DWORD error = 0;
    const bool started = robot::WaitUntil(
        [&] { return m_process.Start(exe, m_dir) || (error = ::GetLastError(), false); }, kTimeoutMs);
    if (error) std::printf("%s: %s error %lu\n", name.c_str(), started ? "started after" : "not started,", error);
    EXPECT_TRUE(started) << "the program did not start";
    return started;
}

bool Wizard::Start(const std::string& name, const std::string& license) {
    const std::string setupInfo = "[Product]\r\nName=" + std::string(kProductName) +
                                  "\r\nDestination=C:\\ZEP\r\nGroup=ZEP\r\nLocationsInfo=sites.ini\r\n"
                                  "BaseURL=http://127.0.0.1:9/\r\nSetupInfoLocation=setup\r\n[Components]\r\nCore\r\n"
                                  "[CompCore]\r\nName=ZEP Core\r\nPkgInfo=core.pki\r\nVer=513\r\n";
    return Launch(name, setupInfo, license) && WaitForSheet();
}

bool Wizard::WaitForSheet() {
    m_sheet = robot::WaitWizard(m_process.Id(), kTimeoutMs);
    return m_sheet != nullptr;
}

void Wizard::RunPages(std::initializer_list<CPropertyPage*> pages, const std::function<void(Wizard&)>& drive) {
    ASSERT_TRUE(kShutdownRefused) << "a reboot could really happen";
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    CSetupWizard sheet;
    for (CPropertyPage* page : pages) sheet.AddPage(page);
    sheet.SetWizardMode();
    std::thread user([&] {
        Wizard wizard;
        wizard.m_sheet = robot::WaitWizard(::GetCurrentProcessId(), kTimeoutMs);
        if (!wizard.m_sheet) return ADD_FAILURE() << "the pages did not show";
        drive(wizard);
        wizard.Close();
    });
    sheet.DoModal();
    user.join();
}

DWORD Wizard::Pid() const { return m_process.Id() ? m_process.Id() : ::GetCurrentProcessId(); }

bool Wizard::Gone() const { return m_process.Id() ? !m_process.IsRunning() : !::IsWindow(m_sheet); }

unsigned Wizard::Buttons() const {
    auto offered = [&](int id) { return robot::IsEnabled(m_sheet, id) && robot::IsVisible(m_sheet, id); };
    return (offered(robot::kBackButton) ? Back : None) | (offered(robot::kNextButton) ? Next : None) |
           (offered(robot::kFinishButton) ? Finish : None);
}

std::string Wizard::Seen(const Step& step) const {
    HWND page = Page();
    std::string seen = robot::GetDlgText(page, step.page->controlId) + " | " + ButtonNames(Buttons());
    for (const auto& shown : step.shows) seen += " | " + shown.first.read(page);
    return seen;
}

bool Wizard::ClosesWithoutBox(std::string& box) const {
    bool closed = robot::WaitUntil(
        [&] {
            if (HWND shown = robot::FindMessageBox(Pid())) box = robot::MessageBoxText(shown);
            return Gone();
        },
        kTimeoutMs);
    return closed && box.empty();
}

bool Wizard::Walk(const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        // A user cannot reach the wizard's buttons behind a dialog (a wait
        // dialog while the page fetches), and the wizard drops a press then.
        if (step.act <= Act::Finish || step.act == Act::Cancel)
            robot::WaitUntil([&] { return robot::FindMessageBox(Pid()) == nullptr; }, kTimeoutMs);
        if (step.act <= Act::Finish) robot::PressButton(m_sheet, int(step.act));
        if (step.act == Act::Cancel) robot::PressButton(m_sheet, PSBTN_CANCEL);
        if (step.act == Act::Click) robot::ClickId(Page(), step.control);
        if (step.act == Act::Type) robot::SetText(::GetDlgItem(Page(), step.control), step.text);
        if (step.act == Act::Row) robot::ClickListRow(::GetDlgItem(Page(), step.control), std::stoi(step.text));
        if (step.act == Act::Dialog) {
            HWND dialog = WaitDialogWith(std::stoi(step.text), Pid());
            if (!dialog) return ADD_FAILURE() << "step " << i + 1 << ": no dialog with control " << step.text, false;
            Shot(std::string(step.page ? step.page->shot : "closed") + "-dialog", dialog);
            robot::AnswerMessageBox(dialog, step.control);
        }
        if (step.act == Act::Answer) {
            HWND box = robot::WaitMessageBox(Pid(), kTimeoutMs, step.text);
            if (!box) return ADD_FAILURE() << "step " << i + 1 << ": no box saying " << step.text, false;
            Shot(std::string(step.page ? step.page->shot : "closed") + "-question", box);
            robot::AnswerMessageBox(box, step.control);
        }
        std::string want = step.page ? Expected(step) : "closed without a message box", seen;
        bool shows = step.page ? robot::WaitUntil([&] { return (seen = Seen(step)) == want; }, kTimeoutMs)
                               : ClosesWithoutBox(seen);
        if (!shows) {
            ADD_FAILURE() << "step " << i + 1 << "\n  expected: " << want << "\n  observed: " << seen;
            return false;
        }
        if (step.page) Shot(step.page->shot);
    }
    return true;
}

void Wizard::ExpectCancel(Cancel rule, const std::string& shot) {
    if (rule == Cancel::Refused) {
        // Sent, not posted: once it returns the page has answered.
        EXPECT_TRUE(robot::PressButtonNow(m_sheet, PSBTN_CANCEL, kTimeoutMs)) << "Cancel was not answered at once";
        HWND box = robot::FindMessageBox(Pid());
        EXPECT_EQ("", box ? robot::MessageBoxText(box) : "") << "Cancel showed a box";
        EXPECT_FALSE(Gone()) << "Cancel closed the wizard";
        return;
    }
    if (rule == Cancel::Closes) {
        robot::PressButton(m_sheet, PSBTN_CANCEL);
        std::string box;
        EXPECT_TRUE(ClosesWithoutBox(box)) << "box: " << box;
        return;
    }
    for (int answer : {IDNO, IDYES}) {
        robot::PressButton(m_sheet, PSBTN_CANCEL);
        HWND box = robot::WaitMessageBox(Pid(), kTimeoutMs);
        ASSERT_NE(nullptr, box) << (answer == IDNO ? "Cancel asked nothing" : "No closed the wizard");
        EXPECT_EQ(kAskCancel, robot::MessageBoxText(box));
        EXPECT_FALSE(robot::MessageBoxHasIcon(box)) << "a page asks with a box of its own, without an icon";
        Shot(shot, box);
        robot::AnswerMessageBox(box, answer);
        ASSERT_TRUE(robot::WaitUntil([&] { return !::IsWindow(box); }, kTimeoutMs));
    }
    EXPECT_TRUE(robot::WaitUntil([&] { return Gone(); }, kTimeoutMs)) << "Yes kept the wizard";
}

void Wizard::Shot(const std::string& shot, HWND window) {
    static std::set<std::string> taken;
    if (!taken.insert(m_strShotPrefix + shot).second) return;
    char number[8] = "";
    if (!m_strShotPrefix.empty()) std::snprintf(number, sizeof number, "%02d-", ++m_nShots);
    const std::string name = m_strShotPrefix + number + shot;
    const char* prefix = m_process.Id() ? "\\wizard-" : "\\pages-";
    EXPECT_TRUE(robot::SavePaintedScreenshot(window ? window : m_sheet,
                                             testsupport::ArtefactsDir() + prefix + name + ".bmp", kTimeoutMs))
        << name;
}

// Finish closes the sheet whatever its page offers. A walk that failed may
// have left a box open, and a press while a box is open goes unanswered:
// pressed again until the sheet closes.
void Wizard::Close() {
    robot::WaitUntil(
        [&] {
            if (Gone()) return true;
            if (HWND box = robot::FindMessageBox(Pid()))
                robot::AnswerMessageBox(box, IDYES) || robot::AnswerMessageBox(box, IDOK);
            else if (::IsWindowEnabled(m_sheet))
                robot::PressButton(m_sheet, PSBTN_FINISH);
            return Gone();
        },
        kTimeoutMs);
}

}  // namespace wizard
