// The demo's user when nobody watches: walks zepsetup.exe through a first
// installation with the robot, taking the defaults, the first region and
// its first site, and keeps a picture of every page.
//   demowalk <program file name> <shots folder> [seconds per page]
// With --times it takes no pictures and prints, for tools/bench.sh, the
// moments of the road as "time <page> <event> <ms since the walk began>":
// each page shown and ready, the install's stages (the queue, the first
// install log in INSTALLFOLDER), and the program's peak working set at the
// Welcome and at the Finish page as "memory <page> <bytes>".
//   demowalk --times <program file name> <install folder> [seconds per page]
// Exit code 0 once the wizard has finished and the program has ended; 1 when
// a page did not come in time or a box interrupted the road (its text is
// printed and its picture kept).
#include "res/DownloadWaitIds.h"
#include "res/resource.h"
#include "tests/robot/Robot.h"

#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>

namespace {

enum class Act {
    Next,      // take the page as it is
    Accept,    // accept the license
    Ready,     // wait for the page's list, filled once its fetch is done
    PickSite,  // the first site of the region shown
    Watch,     // the page works and moves on by itself
    Install,   // the same, through the install's stages
    Finish,
};

struct PageStep {
    const char* shot;
    int controlId;
    const char* text;  // what the control shows on that page and on no other
    Act act;
    int listId;
};

const PageStep kRoad[] = {
    {"01-welcome", IDC_WELCOME_SUBTITLE, "Intelligent Setup Wizard", Act::Next, 0},
    {"02-license", IDC_LICENSE_TITLE, "End-User License Agreement", Act::Accept, 0},
    {"03-install-or-download", IDC_MODE_TITLE, "Install / Download Options", Act::Next, 0},
    {"04-components", IDC_COMPONENTS_TITLE, "Select components", Act::Ready, IDC_COMPONENTS_LIST},
    {"05-preparing", IDC_PREPARING_TITLE, "Preparing to setup", Act::Ready, IDC_PREPARING_PACKAGES},
    {"06-choose-site", IDC_SITES_TITLE, "Choose download location", Act::PickSite, IDC_SITES_LIST},
    {"07-downloading", IDC_DOWNLOADING_TITLE, "Downloading components", Act::Watch, 0},
    {"08-installing", IDC_INSTALLING_TITLE, "Installing / Upgrading", Act::Install, 0},
    {"09-finish", IDC_FINISH_TITLE, "Setup Wizard Finished", Act::Finish, 0},
};

int g_pageMs = 60000;
std::string g_shots;
DWORD g_pid = 0;
HWND g_sheet = nullptr;
bool g_times = false;
std::string g_installDir;

void Mark(const char* shot, const char* event) {
    if (!g_times) return;
    static LARGE_INTEGER start = [] {
        LARGE_INTEGER now;
        ::QueryPerformanceCounter(&now);
        return now;
    }();
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    std::printf("time %s %s %lld\n", shot, event, (now.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart);
    std::fflush(stdout);
}

// The text the system keeps for a window of another process, read without
// a message: the Installing page's thread answers none while it installs.
std::string KeptText(HWND hWnd) {
    char text[256] = "";
    ::GetWindowTextA(hWnd, text, sizeof text);
    return text;
}

// The step's page while it shows, else null; asks the sheet's thread nothing.
HWND ShownPage(const PageStep& step) {
    for (HWND page = ::GetWindow(g_sheet, GW_CHILD); page; page = ::GetWindow(page, GW_HWNDNEXT)) {
        HWND control = ::GetDlgItem(page, step.controlId);
        if (::IsWindowVisible(page) && robot::ClassName(page) == "#32770" && control && KeptText(control) == step.text)
            return page;
    }
    return nullptr;
}

bool Shot(const std::string& name, HWND window) {
    if (g_times) return true;
    const std::string path = g_shots + "\\" + name + ".bmp";
    const bool saved = robot::SavePaintedScreenshot(window, path, 5000);
    if (!saved) std::printf("walk: could not save %s\n", path.c_str());
    return saved;
}

// A dialog of the program other than the wizard and its wait dialog: a
// message box or a question the road does not expect.
// A wait dialog that closes meanwhile has lost its globe, but it is hidden
// before its controls go.
HWND Interruption() {
    for (HWND dlg : robot::TopDialogs(g_pid))
        if (dlg != g_sheet && !::GetDlgItem(dlg, IDC_DOWNLOAD_WAIT_GLOBE) && ::IsWindowVisible(dlg)) return dlg;
    return nullptr;
}

bool WaitDialogShown() {
    for (HWND dlg : robot::TopDialogs(g_pid))
        if (::GetDlgItem(dlg, IDC_DOWNLOAD_WAIT_GLOBE)) return true;
    return false;
}

// Waits for the condition, watching for boxes meanwhile; says why when it
// gives up.
bool Await(const std::function<bool()>& condition, const std::string& what, const char* shot) {
    HWND box = nullptr;
    const bool met = robot::WaitUntil([&] { return condition() || (box = Interruption()) != nullptr; }, g_pageMs, 20);
    if (box) {
        std::printf("walk: a box interrupted the road: \"%s\" (%s)\n", robot::MessageBoxText(box).c_str(),
                    robot::GetText(box).c_str());
        Shot(std::string(shot) + "-box", box);
        return false;
    }
    if (!met) std::printf("walk: %s did not happen within %d s\n", what.c_str(), g_pageMs / 1000);
    return met;
}

int ListRows(HWND page, int listId) {
    HWND list = ::GetDlgItem(page, listId);
    return list ? int(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

void PrintList(HWND list, int columns) {
    if (g_times) {
        std::printf("walk:     %d rows\n", int(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)));
        return;
    }
    for (const auto& row : robot::ReadListView(list, columns)) {
        std::string line;
        for (const std::string& text : row) line += (line.empty() ? "" : " | ") + text;
        std::printf("walk:     %s\n", line.c_str());
    }
}

bool NextEnabled() { return robot::IsEnabled(g_sheet, robot::kNextButton); }

bool AnyInstallLog() {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((g_installDir + "\\*.DeIsLog").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    ::FindClose(search);
    return true;
}

// What shows from outside while the page's thread is too busy to answer:
// the stage line turns to the queue once every package is decoded and
// queued, and the first package's install log takes its place after the
// queue's commit.
void MarkInstallStages(const PageStep& step, HWND page) {
    static bool queued = false, logged = false;
    if (!queued && KeptText(::GetDlgItem(page, IDC_INSTALLING_STAGE)) == "Processing queue...") {
        queued = true;
        Mark(step.shot, "queue");
    }
    if (queued && !logged && AnyInstallLog()) {
        logged = true;
        Mark(step.shot, "first-log");
    }
}

void PrintPeakMemory(const PageStep& step) {
    if (!g_times) return;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, g_pid);
    PROCESS_MEMORY_COUNTERS counters{};
    if (process && ::GetProcessMemoryInfo(process, &counters, sizeof counters))
        std::printf("memory %s %llu\n", step.shot, (unsigned long long)counters.PeakWorkingSetSize);
    if (process) ::CloseHandle(process);
}

// A page that works by itself shows only as long as its work lasts, and its
// thread may be too busy to paint on request: pictures are taken until the
// page has gone, and the last one taken while it still showed is kept.
void WatchPage(const PageStep& step, HWND page) {
    const std::string base = g_shots + "\\" + step.shot;
    std::string kept;
    int frame = 0;
    robot::WaitUntil(
        [&] {
            if (step.act == Act::Install && g_times) MarkInstallStages(step, page);
            if (g_times) return !::IsWindowVisible(page);
            const std::string path = base + (frame++ % 2 ? "-b.bmp" : "-a.bmp");
            if (robot::SaveScreenshot(g_sheet, path) && ::IsWindowVisible(page)) kept = path;
            return !::IsWindowVisible(page);
        },
        g_pageMs, g_times ? 5 : 20);
    if (g_times) return;
    if (!kept.empty()) ::MoveFileExA(kept.c_str(), (base + ".bmp").c_str(), MOVEFILE_REPLACE_EXISTING);
    ::DeleteFileA((base + "-a.bmp").c_str());
    ::DeleteFileA((base + "-b.bmp").c_str());
    if (kept.empty()) std::printf("walk:   (it had gone before a picture could be taken)\n");
}

bool TakePage(const PageStep& step, HWND page) {
    switch (step.act) {
    case Act::Watch:
    case Act::Install:
        WatchPage(step, page);
        return true;
    case Act::Accept:
        robot::ClickId(page, IDC_LICENSE_ACCEPT);
        if (!Await(NextEnabled, "Next after accepting the license", step.shot)) return false;
        break;
    case Act::Ready:
        if (!Await([&] { return ListRows(page, step.listId) > 0 && !WaitDialogShown() && NextEnabled(); },
                   "the page's list", step.shot))
            return false;
        PrintList(::GetDlgItem(page, step.listId), 4);
        if (step.listId == IDC_PREPARING_PACKAGES)
            std::printf("walk:     total download size: %s\n", robot::GetDlgText(page, IDC_PREPARING_TOTAL).c_str());
        break;
    case Act::PickSite:
        if (!Await([&] { return ListRows(page, step.listId) > 0 && !WaitDialogShown(); }, "the sites list",
                   step.shot))
            return false;
        robot::ClickListRow(::GetDlgItem(page, step.listId), 0);
        if (!Await(NextEnabled, "Next after picking a site", step.shot)) return false;
        std::printf("walk:     %s: %s\n", robot::GetDlgText(page, IDC_SITES_REGIONS).c_str(),
                    robot::ReadListView(::GetDlgItem(page, step.listId), 1)[0][0].c_str());
        break;
    default:
        break;
    }
    Mark(step.shot, "ready");
    if (!Shot(step.shot, g_sheet)) return false;
    if (&step == std::begin(kRoad)) PrintPeakMemory(step);
    if (step.act != Act::Finish) {
        robot::PressButton(g_sheet, PSBTN_NEXT);
        return true;
    }
    std::printf("walk:     %s\n", KeptText(::GetDlgItem(page, IDC_FINISH_OUTCOME)).c_str());
    PrintPeakMemory(step);
    robot::PressButton(g_sheet, PSBTN_FINISH);
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, g_pid);
    const bool ended = process && ::WaitForSingleObject(process, g_pageMs) == WAIT_OBJECT_0;
    if (process) ::CloseHandle(process);
    if (!ended) std::printf("walk: the program did not end after Finish\n");
    return ended;
}

}  // namespace

int main(int argc, char** argv) {
    g_times = argc > 1 && std::strcmp(argv[1], "--times") == 0;
    if (g_times) {
        --argc;
        ++argv;
        Mark("walk", "start");
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: demowalk <program file name> <shots folder> [seconds per page]\n"
                             "       demowalk --times <program file name> <install folder> [seconds per page]\n");
        return 2;
    }
    (g_times ? g_installDir : g_shots) = argv[2];
    if (argc > 3) g_pageMs = std::atoi(argv[3]) * 1000;
    g_sheet = robot::WaitProgramDialog(argv[1], true, g_pageMs);
    if (!g_sheet) {
        std::printf("walk: no wizard of %s appeared within %d s\n", argv[1], g_pageMs / 1000);
        return 1;
    }
    ::GetWindowThreadProcessId(g_sheet, &g_pid);

    for (const PageStep* step = std::begin(kRoad); step != std::end(kRoad); ++step) {
        std::printf("walk: %s\n", step->text);
        std::fflush(stdout);
        // A page that works by itself may be done before the first look.
        const PageStep* reached = nullptr;
        HWND page = nullptr;
        const auto arrived = [&] {
            for (reached = step; reached != std::end(kRoad); ++reached) {
                if ((page = ShownPage(*reached))) return true;
                if (step->act != Act::Watch) break;
            }
            return false;
        };
        if (!Await(arrived, std::string("the page \"") + step->text + "\"", step->shot)) return 1;
        Mark(reached->shot, "shown");
        if (reached != step) {
            std::printf("walk:   (it had gone before a picture could be taken)\n");
            continue;
        }
        if (!TakePage(*step, page)) return 1;
    }
    std::printf("walk: done\n");
    return 0;
}
