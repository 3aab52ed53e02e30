#include "framework/Wnd.h"

#include "framework/WinApp.h"

#include <vector>

std::string CWnd::GetDlgItemText(int id) const {
    HWND item = GetDlgItem(id);
    int length = item ? ::GetWindowTextLengthA(item) : 0;
    std::vector<char> text(length + 1, '\0');
    if (item) ::GetWindowTextA(item, text.data(), length + 1);
    return text.data();
}

void CWnd::SetDlgItemText(int id, const std::string& text) const {
    ::SetDlgItemTextA(m_hWnd, id, text.c_str());
}

int CWnd::MessageBox(const std::string& text, UINT type) const {
    int answer = 0;
    if (CWinApp* app = AfxGetApp(); app && app->AnswerMessage(text, type, answer)) return answer;
    return ::MessageBoxA(m_hWnd, text.c_str(), AppTitle().c_str(), type);
}
