#include "update/info/signature_serial_store.h"

#include <vector>

#include "common/product_keys.h"
#include "common/registry.h"

namespace SignatureSerialStore
{
const wchar_t kValueName[] = L"InfoSignatureSerial";

std::wstring ServiceKey(const std::wstring& strService)
{
    return std::wstring(ZEP_PRODUCT_KEY) + L"\\Auto Update Client\\" + strService;
}

ULONGLONG Stored(HKEY hRoot, const std::wstring& strService)
{
    std::vector<BYTE> data;
    DWORD dwType = 0;
    if (FAILED(Registry::ReadValue(hRoot, ServiceKey(strService).c_str(), kValueName, data, dwType)) ||
        dwType != REG_QWORD || data.size() != sizeof(ULONGLONG))
        return 0;
    ULONGLONG ull = 0;
    memcpy(&ull, data.data(), sizeof(ull));
    return ull;
}

ULONGLONG Highest(const std::wstring& strService)
{
    const ULONGLONG ullMachine = Stored(HKEY_LOCAL_MACHINE, strService);
    const ULONGLONG ullUser = Stored(HKEY_CURRENT_USER, strService);
    return ullMachine > ullUser ? ullMachine : ullUser;
}

HRESULT Accept(const std::wstring& strService, ULONGLONG ullSerial)
{
    HRESULT hrResult = S_FALSE;
    for (HKEY hRoot : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    {
        if (ullSerial <= Stored(hRoot, strService))
            continue;
        const HRESULT hr = Registry::WriteValue(hRoot, ServiceKey(strService).c_str(), kValueName, REG_QWORD,
                                                &ullSerial, sizeof(ullSerial));
        if (FAILED(hr) && SUCCEEDED(hrResult))
            hrResult = hr;
        else if (SUCCEEDED(hr) && hrResult == S_FALSE)
            hrResult = S_OK;
    }
    return hrResult;
}
}  // namespace SignatureSerialStore
