#include "update/gui/web_address.h"

#include <wininet.h>

#include <string>

#include "oplogsys/oplogsys.h"
#include "update/gui/gui_seams.h"

bool IsWebAddress(const wchar_t* pszUrl)
{
    if (!pszUrl || !*pszUrl)
        return false;
    URL_COMPONENTSW parts = {sizeof(parts)};
    // Non-zero lengths ask for pointers into the address, no copies.
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    if (!::InternetCrackUrlW(pszUrl, 0, 0, &parts))
        return false;
    return (parts.nScheme == INTERNET_SCHEME_HTTP || parts.nScheme == INTERNET_SCHEME_HTTPS) &&
           parts.dwHostNameLength > 0;
}

void OpenWebAddress(const wchar_t* pszUrl)
{
    if (IsWebAddress(pszUrl))
    {
        ZepGuiOpenUrl(pszUrl);
        return;
    }
    long lResult = S_FALSE;
    opLogSys::Fmt::CMethodLog<long> log(L"ZepGUI_Library", opLogSys::kMethodLevel, L"OpenWebAddress", &lResult);
    log.Error((std::wstring(L"Not a web address, not opened: ") + (pszUrl ? pszUrl : L"")).c_str());
}
