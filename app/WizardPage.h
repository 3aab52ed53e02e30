// What every page after the Welcome page shares: the bold heading font on
// its title control, the work a page starts when it is shown, and the
// wizard's answer to Cancel.
#pragma once
#include "framework/Controls.h"
#include "framework/Font.h"
#include "framework/PropertySheet.h"

// Private messages of the pages.
constexpr UINT WM_QUEUE_PROGRESS = WM_USER + 256;  // default queue callback: one file copied
constexpr UINT WM_PAGE_START = WM_USER + 257;      // page to itself: start the page's work
constexpr UINT WM_PAGE_REFRESH = WM_USER + 259;    // Components page to itself: refresh the list
constexpr UINT WM_DOWNLOAD_SHOW = WM_USER + 260;   // download worker: a file ended or waits, show it now
constexpr UINT WM_DOWNLOAD_ENDED = WM_USER + 261;  // download worker: the pass ended without a stop

// The "Arial" headings of the pages, bold (FW_BOLD) or not (FW_NORMAL); the
// height is given for 96 DPI and made for dpi.
BOOL CreateHeadingFont(CFont& font, int height, int weight, UINT dpi = 96);

// The strip at the left of every page, in the picture that suits the DPI of
// the page's monitor.
class CSidePicture {
public:
    CSidePicture() = default;
    ~CSidePicture();
    CSidePicture(const CSidePicture&) = delete;
    CSidePicture& operator=(const CSidePicture&) = delete;

    void Show(HWND hPage);

private:
    HBITMAP m_hBitmap = nullptr;
};

// The list boxes' state images (empty, checked, crossed) that suit the DPI of
// hWnd's monitor.
BOOL LoadStateImages(CImageList& images, HWND hWnd);

// When a page posts itself its start message: on every activation, or once,
// when its window is made (a page whose work must not be done twice).
enum class PageStart { EveryActivation, Creation };

class CWizardPage : public CPropertyPage {
public:
    // nStartMessage: the message (WM_PAGE_START or WM_PAGE_REFRESH) the page
    // posts itself, so that its work runs in OnPageStart once the page shows;
    // 0 for a page without such work.
    CWizardPage(UINT nIDTemplate, int nTitleId, UINT nStartMessage = 0,
                PageStart startOn = PageStart::EveryActivation);

    // Ends the whole wizard as cancelled, without the question Cancel asks.
    void EndWizard() const;
    // Ends a passive run that cannot go on, with its exit code and why.
    void EndPassiveRun(int nExitCode, const std::string& why) const;

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;
    BOOL OnNotify(NMHDR* pHdr, LRESULT& result) override;
    BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    virtual void OnPageStart() {}
    // The pictures and heading for the DPI of the page's monitor: when the
    // page is made, and again once it moved to a monitor of another DPI.
    virtual void ShowPictures();

    CFont m_fontTitle;
    CSidePicture m_sidePicture;

private:
    // Set by EndWizard for the Cancel it presses; one wizard runs at a time.
    static bool s_bEndingWizard;
    int m_nTitleId;
    UINT m_nStartMessage;
    PageStart m_startOn;
};
