// One run of the wizard at a time on the computer, whatever the account or
// session: two runs would install into and remove from the same folders and
// records at once.
#pragma once
#include <windows.h>

class CSingleRun {
public:
    CSingleRun() = default;
    ~CSingleRun();
    CSingleRun(const CSingleRun&) = delete;
    CSingleRun& operator=(const CSingleRun&) = delete;

    // False while another run holds the claim; it ends with that run's process.
    bool Claim();

private:
    HANDLE m_hClaim = nullptr;
};
