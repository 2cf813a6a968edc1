#pragma once
// What a service's result becomes in the registry and in the report to the update server.
#include <windows.h>

// The result codes of the update client's own steps.
#define ZEP_E_INVALID_ARGUMENTS ((HRESULT)0x80042301L)
#define ZEP_E_DECLINED ((HRESULT)0x80042203L)
#define ZEP_E_DOWNLOAD_CANCELED ((HRESULT)0x80042202L)
#define ZEP_E_FILE_TOO_SHORT ((HRESULT)0x80044209L)
#define ZEP_E_FILE_TOO_LONG ((HRESULT)0x80043208L)
#define ZEP_E_DIGEST_MISMATCH ((HRESULT)0x8004420AL)

struct ZEP_SERVICE_STATUS
{
    bool bWritten;    // whether the status is reported and stored at all
    int nCode;        // the two-digit status
    HRESULT hrResult; // the service's result afterwards (one server answer means "nothing to do")
};

// bInfoOnly: the service was a notice, whose success is not recorded.
ZEP_SERVICE_STATUS ServiceStatusFor(HRESULT hrResult, bool bInfoOnly) noexcept;
