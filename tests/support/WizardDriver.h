// Drives the wizard of zepsetup.exe, or pages run inside a test program,
// from a second thread: walks tables of steps, checks after each one what the
// user sees, and keeps a screenshot of every page reached.
#pragma once
#include "tests/robot/Robot.h"

#include <commctrl.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

class CPropertyPage;

namespace wizard {

constexpr int kTimeoutMs = 10000;
constexpr unsigned None = 0, Back = PSWIZB_BACK, Next = PSWIZB_NEXT, Finish = PSWIZB_FINISH;
extern const char kProductName[];
extern const char kAskCancel[];
// What the Components and Preparing pages ask when the site's updated list could not be had.
extern const char kAskLocal[];

// A page as the user tells it apart: a control and its text (the heading, or
// a text that tells the page's state), and the name of its screenshot.
struct Page {
    int controlId;
    const char* text;
    const char* shot;
};
extern const Page kWelcome, kLicense, kInstallOrDownload, kComponents, kRemoving, kPreparing, kChooseSite, kFinish;
// The Welcome page of a run whose product has any name, as pages run inside a test show it.
extern const Page kWelcomeOfAnyProduct;

// What a control shows the user: its text, followed by " [x]" for a checked
// button, or "hidden".
std::string Shown(HWND page, int id);

// Something to look at after a step: a control of the page (by id) or any
// other reading, such as a stored registry value.
struct Probe {
    Probe(int id) : read([id](HWND page) { return Shown(page, id); }) {}
    Probe(std::string (*reader)(HWND page)) : read(reader) {}
    std::function<std::string(HWND page)> read;
};
using Shows = std::vector<std::pair<Probe, std::string>>;

enum class Act { Back = PSBTN_BACK, Next = PSBTN_NEXT, Finish = PSBTN_FINISH, Look, Click, Type, Answer, Row, Dialog, Cancel };
// One row of a walk: the action, then what must show: the page (nullptr:
// the wizard has closed without any message box), its enabled wizard buttons
// and the readings of shows. Click and Type act on control; Type replaces its
// text with text. Answer waits for the message box saying text and presses
// its button control (IDYES, IDNO, IDOK). Row clicks the row numbered text
// of the list control. Dialog waits for the dialog that has the control
// numbered text and presses its button control. Cancel presses Cancel.
struct Step {
    Act act;
    const Page* page;
    unsigned buttons = None;
    Shows shows = {};
    int control = 0;
    std::string text = {};
};
// A list view's rows, joined by commas: column of each row, or with column
// -1 all of its first columns, as "a|b|c".
std::string ListText(HWND list, int column, int columns = 4);
// The Components page's rows, as "name|state|version|action" joined by commas.
std::string ComponentRows(HWND page);
// A dialog of the process (default: this one) other than the wizard that has
// the control, once one shows; null when none did in time.
HWND WaitDialogWith(int controlId, DWORD pid = ::GetCurrentProcessId());
// The folders the program stored: where it installs and where it downloads.
std::string StoredInstallFolder(HWND = nullptr);
std::string StoredDownloadFolder(HWND = nullptr);

// The steps of road up to the first one that reaches page.
std::vector<Step> UpTo(const std::vector<Step>& road, const Page& page);

enum class Cancel { Closes, Asks, Refused };

class Wizard {
public:
    // Starts zepsetup.exe in a new folder holding the given setup information
    // file and license.txt (none when empty), on a computer that has never
    // stored anything of the product, or (fresh false) as earlier runs left it;
    // program is the zepsetup.exe to start (default: the one the build made).
    bool Launch(const std::string& name, const std::string& setupInfo, const std::string& license = "",
                bool fresh = true, const std::string& program = "");
    // The same with a setup information file of one component; true once the wizard shows.
    bool Start(const std::string& name, const std::string& license = "");
    // True once the wizard of a launched program shows.
    bool WaitForSheet();
    // Runs the pages as a wizard on this thread while drive works them from a
    // second one; whatever drive leaves open is closed afterwards.
    static void RunPages(std::initializer_list<CPropertyPage*> pages, const std::function<void(Wizard&)>& drive);

    DWORD Pid() const;
    HWND Sheet() const { return m_sheet; }
    HWND Page() const { return robot::CurrentPage(m_sheet); }
    const std::string& Dir() const { return m_dir; }
    // The wizard has closed; for zepsetup.exe: the program has ended.
    bool Gone() const;
    // Walks the steps in turn and stops at the first that does not show what it should.
    bool Walk(const std::vector<Step>& steps);
    // Presses Cancel; a question is answered No (the wizard must stay), then Yes.
    void ExpectCancel(Cancel rule, const std::string& shot);
    // Saves the window (default: the sheet) once painted, the first time this program meets the name.
    void Shot(const std::string& name, HWND window = nullptr);
    // Names every later screenshot of this wizard prefix, a number in the
    // order taken and its name, so that a road's pages can be told apart and
    // put on a sheet of their own in the order the road met them.
    void SetShotPrefix(const std::string& prefix) { m_strShotPrefix = prefix; }

private:
    unsigned Buttons() const;
    std::string Seen(const Step& step) const;
    bool ClosesWithoutBox(std::string& box) const;
    void Close();

    robot::Process m_process;
    HWND m_sheet = nullptr;
    std::string m_dir;
    std::string m_strShotPrefix;
    int m_nShots = 0;
};

}  // namespace wizard
