#include "app/SingleRun.h"

namespace {

// In the namespace all sessions share.
constexpr char kClaimName[] = "Global\\ORBEL.ZEP.Setup.Run";

}  // namespace

CSingleRun::~CSingleRun() {
    if (m_hClaim) ::CloseHandle(m_hClaim);
}

// The object lives while any run has it open. One another account made,
// which this one may not open, is refused: that run holds the claim too.
bool CSingleRun::Claim() {
    if (m_hClaim) return true;
    const HANDLE hClaim = ::CreateMutexA(nullptr, FALSE, kClaimName);
    if (!hClaim) return false;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(hClaim);
        return false;
    }
    m_hClaim = hClaim;
    return true;
}
