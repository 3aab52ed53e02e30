#include "tests/robot/Robot.h"

#include <commctrl.h>

#include <cstring>
#include <utility>

namespace robot {

Process::~Process() {
    if (!m_info.hProcess) return;
    if (IsRunning()) {
        ::TerminateProcess(m_info.hProcess, 99);
        ::WaitForSingleObject(m_info.hProcess, 5000);
    }
    ::CloseHandle(m_info.hThread);
    ::CloseHandle(m_info.hProcess);
}

bool Process::Start(const std::string& exe, const std::string& workDir, const std::string& args) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    return ::CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            workDir.empty() ? nullptr : workDir.c_str(), &startup, &m_info) != FALSE;
}

bool Process::WaitExit(int timeoutMs) {
    return m_info.hProcess && ::WaitForSingleObject(m_info.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

bool Process::IsRunning() const {
    return m_info.hProcess && ::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD Process::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (m_info.hProcess) ::GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (int(::GetTickCount() - start) >= timeoutMs) return false;
        ::Sleep(pollMs);
    }
}

std::string ClassName(HWND hWnd) {
    char name[64] = "";
    ::GetClassNameA(hWnd, name, sizeof name);
    return name;
}

struct DialogSearch {
    DWORD pid;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectDialog(HWND hWnd, LPARAM lParam) {
    auto* search = reinterpret_cast<DialogSearch*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    if (pid == search->pid && ::IsWindowVisible(hWnd) && ClassName(hWnd) == "#32770") search->found.push_back(hWnd);
    return TRUE;
}

std::vector<HWND> TopDialogs(DWORD pid) {
    DialogSearch search{pid, {}};
    ::EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitTopDialog(DWORD pid, int timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            std::vector<HWND> dialogs = TopDialogs(pid);
            found = dialogs.empty() ? nullptr : dialogs.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

HWND FindWizard(DWORD pid) {
    for (HWND hWnd : TopDialogs(pid))
        if (::GetDlgItem(hWnd, kNextButton)) return hWnd;
    return nullptr;
}

HWND WaitWizard(DWORD pid, int timeoutMs) {
    HWND wizard = nullptr;
    WaitUntil([&] { return (wizard = FindWizard(pid)) != nullptr; }, timeoutMs);
    return wizard;
}

// The message text of a box: Windows gives it id 0xFFFF; look for the first
// static text that is not an icon as well.
std::string MessageBoxText(HWND box) {
    if (HWND text = ::GetDlgItem(box, 0xFFFF)) return GetText(text);
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) == "Static" && (::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
            return GetText(child);
    }
    return "";
}

static bool RunsProgram(DWORD pid, const std::string& programName) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return false;
    char path[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    bool match = false;
    if (::QueryFullProcessImageNameA(process, 0, path, &size)) {
        const char* name = std::strrchr(path, '\\');
        match = lstrcmpiA(name ? name + 1 : path, programName.c_str()) == 0;
    }
    ::CloseHandle(process);
    return match;
}

HWND WaitProgramDialog(const std::string& programName, bool wizardOnly, int timeoutMs) {
    struct Search {
        const std::string& program;
        bool wizardOnly;
        HWND found;
    } search{programName, wizardOnly, nullptr};
    const WNDENUMPROC test = [](HWND hWnd, LPARAM lParam) -> BOOL {
        auto* search = reinterpret_cast<Search*>(lParam);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hWnd, &pid);
        if (!::IsWindowVisible(hWnd) || ClassName(hWnd) != "#32770" ||
            (search->wizardOnly && !::GetDlgItem(hWnd, kNextButton)) || !RunsProgram(pid, search->program))
            return TRUE;
        search->found = hWnd;
        return FALSE;
    };
    WaitUntil([&] { return ::EnumWindows(test, reinterpret_cast<LPARAM>(&search)), search.found != nullptr; },
              timeoutMs, 100);
    return search.found;
}

HWND FindMessageBox(DWORD pid, const std::string& text) {
    for (HWND hWnd : TopDialogs(pid)) {
        if (::GetDlgItem(hWnd, kNextButton)) continue;
        if (text.empty() || MessageBoxText(hWnd) == text) return hWnd;
    }
    return nullptr;
}

HWND WaitMessageBox(DWORD pid, int timeoutMs, const std::string& text) {
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindMessageBox(pid, text)) != nullptr; }, timeoutMs);
    return box;
}

static HWND MessageBoxIconControl(HWND box) {
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) != "Static" || (::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON ||
            !::IsWindowVisible(child))
            continue;
        // Wine keeps the icon control of a box without icon, holding none.
        DWORD_PTR icon = 0;
        ::SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
        if (icon) return child;
    }
    return nullptr;
}

bool MessageBoxHasIcon(HWND box) { return MessageBoxIconControl(box) != nullptr; }

// Icon handles are not comparable across processes, so the pixels on the
// screen are compared with the system icon drawn here on the same background.
bool MessageBoxHasExclamation(HWND box) {
    HWND control = MessageBoxIconControl(box);
    if (!control) return false;
    int size = ::GetSystemMetrics(SM_CXICON);
    RECT rect;
    ::GetWindowRect(control, &rect);
    HDC screen = ::GetDC(nullptr);
    HDC shown = ::CreateCompatibleDC(screen);
    HDC drawn = ::CreateCompatibleDC(screen);
    HBITMAP shownBitmap = ::CreateCompatibleBitmap(screen, size, size);
    HBITMAP drawnBitmap = ::CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ oldShown = ::SelectObject(shown, shownBitmap);
    HGDIOBJ oldDrawn = ::SelectObject(drawn, drawnBitmap);
    ::BitBlt(shown, 0, 0, size, size, screen, rect.left, rect.top, SRCCOPY);
    RECT all{0, 0, size, size};
    ::FillRect(drawn, &all, ::GetSysColorBrush(COLOR_3DFACE));
    ::DrawIcon(drawn, 0, 0, ::LoadIconA(nullptr, IDI_EXCLAMATION));
    int differing = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (::GetPixel(shown, x, y) != ::GetPixel(drawn, x, y)) ++differing;
    ::SelectObject(shown, oldShown);
    ::SelectObject(drawn, oldDrawn);
    ::DeleteObject(shownBitmap);
    ::DeleteObject(drawnBitmap);
    ::DeleteDC(shown);
    ::DeleteDC(drawn);
    ::ReleaseDC(nullptr, screen);
    return differing == 0;
}

bool AnswerMessageBox(HWND box, int buttonId) {
    HWND button = ::GetDlgItem(box, buttonId);
    if (button)
        Click(button);
    else if (buttonId == IDCANCEL)  // a box without the button ends with its close box
        ::PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
        return false;
    // Until it has gone, the answered box would count as one shown after it.
    return WaitUntil([&] { return !::IsWindow(box); }, 10000);
}

bool AnswerLoginDialog(HWND dialog, const std::string& user, const std::string& password) {
    std::vector<HWND> fields;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (ClassName(child) == "Edit" && !(::GetWindowLongA(child, GWL_STYLE) & ES_READONLY))
            fields.push_back(child);
    if (fields.size() < 2) return false;
    SetText(fields[0], user);
    SetText(fields[1], password);
    return AnswerMessageBox(dialog, user.empty() ? IDCANCEL : IDOK);
}

std::string GetText(HWND hWnd) {
    if (!hWnd) return "";
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutA(hWnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return "";
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutA(hWnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG, 5000,
                          &copied);
    text.resize(copied);
    return text;
}

std::string GetDlgText(HWND dlg, int id) { return GetText(::GetDlgItem(dlg, id)); }

bool IsEnabled(HWND dlg, int id) {
    HWND item = ::GetDlgItem(dlg, id);
    return item && ::IsWindowEnabled(item);
}

bool IsVisible(HWND dlg, int id) {
    HWND item = ::GetDlgItem(dlg, id);
    return item && ::IsWindowVisible(item);
}

void Click(HWND button) { ::PostMessageA(button, BM_CLICK, 0, 0); }

void ClickId(HWND dlg, int id) { Click(::GetDlgItem(dlg, id)); }

void PressButton(HWND sheet, int psbtn) { ::PostMessageA(sheet, PSM_PRESSBUTTON, psbtn, 0); }

bool PressButtonNow(HWND sheet, int psbtn, int timeoutMs) {
    DWORD_PTR ignored = 0;
    return ::SendMessageTimeoutA(sheet, PSM_PRESSBUTTON, psbtn, 0, SMTO_NORMAL, timeoutMs, &ignored) != 0;
}

HWND CurrentPage(HWND sheet) {
    DWORD_PTR page = 0;
    ::SendMessageTimeoutA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 5000, &page);
    return reinterpret_cast<HWND>(page);
}

bool WaitPageWithControl(HWND sheet, int controlId, const std::string& text, int timeoutMs) {
    return WaitUntil(
        [&] {
            HWND page = CurrentPage(sheet);
            return page && ::GetDlgItem(page, controlId) && GetDlgText(page, controlId) == text;
        },
        timeoutMs);
}

void SetText(HWND hWnd, const std::string& text) {
    DWORD_PTR ignored = 0;
    // WM_SETTEXT marshals its string across processes.
    ::SendMessageTimeoutA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                          &ignored);
    HWND parent = ::GetParent(hWnd);
    ::SendMessageTimeoutA(parent, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(hWnd), EN_CHANGE),
                          reinterpret_cast<LPARAM>(hWnd), SMTO_ABORTIFHUNG, 5000, &ignored);
}

// A block of memory inside the process that owns a window.
class RemoteBuffer {
public:
    RemoteBuffer(HWND owner, size_t size) : m_size(size) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(owner, &pid);
        m_process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_process) m_address = ::VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (m_address) ::VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
        if (m_process) ::CloseHandle(m_process);
    }
    bool Ok() const { return m_address != nullptr; }
    char* Address() const { return static_cast<char*>(m_address); }
    bool Write(size_t offset, const void* data, size_t size) const {
        return ::WriteProcessMemory(m_process, Address() + offset, data, size, nullptr) != FALSE;
    }
    bool Read(size_t offset, void* data, size_t size) const {
        return ::ReadProcessMemory(m_process, Address() + offset, data, size, nullptr) != FALSE;
    }

private:
    HANDLE m_process = nullptr;
    void* m_address = nullptr;
    size_t m_size;
};

std::vector<std::vector<std::string>> ReadListView(HWND listView, int columns) {
    std::vector<std::vector<std::string>> rows;
    constexpr size_t kTextSize = 1024;
    RemoteBuffer remote(listView, sizeof(LVITEMA) + kTextSize);
    if (!remote.Ok()) return rows;
    int count = int(::SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        std::vector<std::string> texts;
        for (int column = 0; column < columns; ++column) {
            LVITEMA item{};
            item.iSubItem = column;
            item.cchTextMax = kTextSize;
            item.pszText = remote.Address() + sizeof(LVITEMA);
            remote.Write(0, &item, sizeof item);
            ::SendMessageA(listView, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote.Address()));
            char text[kTextSize] = "";
            remote.Read(sizeof(LVITEMA), text, kTextSize);
            text[kTextSize - 1] = '\0';
            texts.push_back(text);
        }
        rows.push_back(texts);
    }
    return rows;
}

int ListViewItemState(HWND listView, int row, UINT mask) {
    return int(::SendMessageA(listView, LVM_GETITEMSTATE, row, mask));
}

bool ClickListRow(HWND listView, int row, int xOffset) {
    RemoteBuffer remote(listView, sizeof(RECT));
    if (!remote.Ok()) return false;
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    remote.Write(0, &rect, sizeof rect);
    if (!::SendMessageA(listView, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remote.Address()))) return false;
    remote.Read(0, &rect, sizeof rect);
    LPARAM point = MAKELPARAM(rect.left + xOffset, (rect.top + rect.bottom) / 2);
    ::PostMessageA(listView, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::PostMessageA(listView, WM_LBUTTONUP, 0, point);
    return true;
}

// RDW_UPDATENOW sends WM_PAINT to each window, so its thread has painted it
// when this returns.
void Repaint(HWND hWnd) {
    ::RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

GUITHREADINFO ThreadInput(HWND hWnd) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(hWnd, nullptr), &info);
    return info;
}

// The window's pixels as the screen shows them, bottom-up 24-bit rows.
struct Picture {
    BITMAPINFOHEADER header{};
    std::vector<char> bits;
};

static Picture Capture(HWND hWnd) {
    Picture picture;
    RECT rect;
    if (!::GetWindowRect(hWnd, &rect) || rect.right <= rect.left || rect.bottom <= rect.top) return picture;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = rect.right - rect.left;
    info.bmiHeader.biHeight = rect.bottom - rect.top;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, info.bmiHeader.biWidth, info.bmiHeader.biHeight, screen, rect.left, rect.top, SRCCOPY);
    ::GdiFlush();
    DWORD stride = ((info.bmiHeader.biWidth * 3 + 3) & ~3);
    picture.header = info.bmiHeader;
    picture.header.biSizeImage = stride * info.bmiHeader.biHeight;
    picture.bits.assign(static_cast<char*>(bits), static_cast<char*>(bits) + picture.header.biSizeImage);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return picture;
}

static bool WriteBmp(const Picture& picture, const std::string& path) {
    if (picture.bits.empty()) return false;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof picture.header;
    file.bfSize = file.bfOffBits + DWORD(picture.bits.size());
    HANDLE out = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = ::WriteFile(out, &file, sizeof file, &written, nullptr) &&
              ::WriteFile(out, &picture.header, sizeof picture.header, &written, nullptr) &&
              ::WriteFile(out, picture.bits.data(), DWORD(picture.bits.size()), &written, nullptr);
    ::CloseHandle(out);
    return ok;
}

bool SaveScreenshot(HWND hWnd, const std::string& path) { return WriteBmp(Capture(hWnd), path); }

bool SavePaintedScreenshot(HWND hWnd, const std::string& path, int timeoutMs) {
    Repaint(hWnd);
    Picture last;
    WaitUntil(
        [&] {
            Picture now = Capture(hWnd);
            bool steady = !last.bits.empty() && now.bits == last.bits;
            last = std::move(now);
            return steady;
        },
        timeoutMs, 20);
    return WriteBmp(last, path);
}

}  // namespace robot
