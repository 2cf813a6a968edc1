#include "update/client/service_status.h"

ZEP_SERVICE_STATUS ServiceStatusFor(HRESULT hrResult, bool bInfoOnly) noexcept
{
    struct Row
    {
        HRESULT hr;
        int nCode;
    };
    static const Row kRows[] = {
        {(HRESULT)0x80044201L, 10}, {(HRESULT)0x80044202L, 11}, {(HRESULT)0x80044203L, 12},
        {(HRESULT)0x80044204L, 13}, {(HRESULT)0x80044301L, 20}, {ZEP_E_DECLINED, 35},
        {(HRESULT)0x80044208L, 40}, {(HRESULT)0x80043305L, 41}, {(HRESULT)0x80044207L, 41},
        {(HRESULT)0x80041210L, 42}, {ZEP_E_FILE_TOO_LONG, 43},  {ZEP_E_FILE_TOO_SHORT, 43},
        {ZEP_E_DIGEST_MISMATCH, 44}, {ZEP_E_DOWNLOAD_CANCELED, 45}, {(HRESULT)0x80041211L, 50},
        {(HRESULT)0x80044401L, 70},
    };
    if (hrResult == S_OK)
        return {!bInfoOnly, 0, hrResult};
    if (hrResult == 1 || hrResult == ZEP_E_INVALID_ARGUMENTS || hrResult == (HRESULT)0x8004120AL ||
        hrResult == E_INVALIDARG)
        return {false, 0, hrResult};
    for (const Row& row : kRows)
    {
        if (row.hr == hrResult)
            return {true, row.nCode, row.hr == (HRESULT)0x80044202L ? (HRESULT)1 : hrResult};
    }
    return {true, 90, hrResult};
}
