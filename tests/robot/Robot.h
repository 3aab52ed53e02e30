// The robot: drives zepsetup.exe from outside, the way a user would, through
// window messages only. Windows are found by class, owning process and
// control ids, never by caption.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace robot {

constexpr int kNextButton = 0x3024;
constexpr int kBackButton = 0x3023;
constexpr int kFinishButton = 0x3025;
constexpr int kCancelButton = IDCANCEL;

// A program started for a test; ended (if still running) when destroyed.
class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Start(const std::string& exe, const std::string& workDir, const std::string& args = "");
    bool WaitExit(int timeoutMs);
    bool IsRunning() const;
    DWORD ExitCode() const;
    DWORD Id() const { return m_info.dwProcessId; }
    HANDLE Handle() const { return m_info.hProcess; }

private:
    PROCESS_INFORMATION m_info{};
};

// Polls until the predicate holds or the time runs out.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs = 50);

// Visible top-level dialogs (#32770) of the process.
std::vector<HWND> TopDialogs(DWORD pid);
// The first such dialog once one shows; null when none did in time.
HWND WaitTopDialog(DWORD pid, int timeoutMs);
// A visible top-level dialog of a process whose program file is named
// programName (a wizard sheet only, when wizardOnly), once one shows; null
// when none did in time.
HWND WaitProgramDialog(const std::string& programName, bool wizardOnly, int timeoutMs);
// The wizard sheet: a dialog with a Next button (0x3024).
HWND FindWizard(DWORD pid);
HWND WaitWizard(DWORD pid, int timeoutMs);
// A message box: a dialog of the process without a Next button; when text is
// given, its message must equal it.
HWND FindMessageBox(DWORD pid, const std::string& text = "");
HWND WaitMessageBox(DWORD pid, int timeoutMs, const std::string& text = "");
std::string MessageBoxText(HWND box);
// True when the message box shows the system's exclamation-mark icon.
bool MessageBoxHasExclamation(HWND box);
bool MessageBoxHasIcon(HWND box);
// Presses one of the message box's buttons (IDOK, IDYES, IDNO...; IDCANCEL is
// Escape where there is no such button); true once the box has gone.
bool AnswerMessageBox(HWND box, int buttonId);
// A dialog with two fields to type into is a login dialog: types user and
// password into them and presses OK, or presses Cancel when user is empty;
// true once the dialog has gone, false for any other dialog.
bool AnswerLoginDialog(HWND dialog, const std::string& user, const std::string& password);

std::string GetText(HWND hWnd);
std::string GetDlgText(HWND dlg, int id);
bool IsEnabled(HWND dlg, int id);
bool IsVisible(HWND dlg, int id);
std::string ClassName(HWND hWnd);

// Posts the click, so that a modal box it opens does not block the robot.
void Click(HWND button);
void ClickId(HWND dlg, int id);
void PressButton(HWND sheet, int psbtn);
// Sends the press instead: true once the sheet has answered it, so whatever
// the press does without opening a window is done by then.
bool PressButtonNow(HWND sheet, int psbtn, int timeoutMs);
HWND CurrentPage(HWND sheet);
// Waits until the current page has the control and it shows the text.
bool WaitPageWithControl(HWND sheet, int controlId, const std::string& text, int timeoutMs);
// Types text into an edit control as if the user did.
void SetText(HWND hWnd, const std::string& text);

// Rows of a list view in another process: each row is its column texts.
std::vector<std::vector<std::string>> ReadListView(HWND listView, int columns);
int ListViewItemState(HWND listView, int row, UINT mask);
// A real click on a row, at the given x offset into the row.
bool ClickListRow(HWND listView, int row, int xOffset = 8);

// Saves a 24-bit BMP of the window as it shows on the screen.
bool SaveScreenshot(HWND hWnd, const std::string& path);
// Makes the window's thread paint it and its children now; returns once it has.
void Repaint(HWND hWnd);
// Repaints the window, then saves it once two looks at the screen in a row
// agree: Wine hands what a thread painted to the display only when that
// thread next waits for messages, which no message from here can wait for.
bool SavePaintedScreenshot(HWND hWnd, const std::string& path, int timeoutMs);
// Focus and mouse capture of the thread that owns the window.
GUITHREADINFO ThreadInput(HWND hWnd);

}  // namespace robot
