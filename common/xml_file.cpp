#include "common/xml_file.h"

#include <cstring>

#include "common/error_macros.h"
#include "common/file_util.h"
#include "common/xml_doctype.h"
#include "common/scope_exit.h"
#include "common/scoped_variant.h"
#include "common/unique_resource.h"

static HRESULT LoadBytes(IXMLDOMDocument* pDocument, const std::string& bytes, VARIANT_BOOL& bLoaded)
{
    bLoaded = VARIANT_FALSE;
    SAFEARRAY* psa = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, psa);
    void* pvData = nullptr;
    HRESULT hr = ::SafeArrayAccessData(psa, &pvData);
    if (SUCCEEDED(hr))
    {
        memcpy(pvData, bytes.data(), bytes.size());
        ::SafeArrayUnaccessData(psa);
        VARIANT var;
        ::VariantInit(&var);
        var.vt = VT_ARRAY | VT_UI1;
        var.parray = psa;
        hr = pDocument->load(var, &bLoaded);
    }
    ::SafeArrayDestroy(psa);
    return hr;
}

HRESULT LoadXmlFile(IXMLDOMDocument* pDocument, const std::wstring& path, uint64_t cbMax)
{
    RETURN_HR_IF_NULL(E_POINTER, pDocument);
    std::string bytes;
    if (ReadWholeFile(path, bytes, cbMax) != ERROR_SUCCESS)
        return S_FALSE;
    size_t posDoctype = 0;
    if (FindXmlDoctype(XmlBytesToText(bytes), posDoctype))
        return S_FALSE;
    VARIANT_BOOL bLoaded = VARIANT_FALSE;
    const HRESULT hr = LoadBytes(pDocument, bytes, bLoaded);
    return SUCCEEDED(hr) && bLoaded == VARIANT_TRUE ? S_OK : S_FALSE;
}

static HRESULT FlushFile(const std::wstring& path)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    RETURN_LAST_ERROR_IF(!file.IsValid());
    RETURN_IF_WIN32_BOOL_FALSE(::FlushFileBuffers(file.Get()));
    return S_OK;
}

HRESULT SaveXmlReplacing(IXMLDOMDocument* pDocument, const std::wstring& path)
{
    RETURN_HR_IF_NULL(E_POINTER, pDocument);
    const size_t nSlash = path.find_last_of(L"\\/");
    RETURN_HR_IF(E_INVALIDARG, nSlash == std::wstring::npos);
    const std::wstring folder = path.substr(0, nSlash + 1);

    wchar_t szTemp[MAX_PATH] = {};
    RETURN_HR_IF(HResultFromLastError(), ::GetTempFileNameW(folder.c_str(), L"TVK", 0, szTemp) == 0);
    const std::wstring tempPath = szTemp;
    bool bMoved = false;
    auto removeTemp = MakeScopeExit([&] {
        if (!bMoved)
            ::DeleteFileW(tempPath.c_str());
    });

    CScopedVariant varTemp(tempPath.c_str());
    RETURN_IF_FAILED(pDocument->save(varTemp.Get()));
    RETURN_IF_FAILED(FlushFile(tempPath));
    RETURN_IF_WIN32_BOOL_FALSE(
        ::MoveFileExW(tempPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    bMoved = true;
    return S_OK;
}
