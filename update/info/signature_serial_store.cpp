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

ULONGLONG Highest(const std::wstring& strService)
{
    std::vector<BYTE> data;
    DWORD dwType = 0;
    if (FAILED(Registry::ReadValue(HKEY_LOCAL_MACHINE, ServiceKey(strService).c_str(), kValueName, data, dwType)) ||
        dwType != REG_QWORD || data.size() != sizeof(ULONGLONG))
        return 0;
    ULONGLONG ull = 0;
    memcpy(&ull, data.data(), sizeof(ull));
    return ull;
}

HRESULT Accept(const std::wstring& strService, ULONGLONG ullSerial)
{
    if (ullSerial <= Highest(strService))
        return S_FALSE;
    return Registry::WriteValue(HKEY_LOCAL_MACHINE, ServiceKey(strService).c_str(), kValueName, REG_QWORD, &ullSerial,
                                sizeof(ullSerial));
}
}  // namespace SignatureSerialStore
