// A second process that runs one update check: info_check_helper BASEURL SERVICE CATEGORY MODEL
// VERSION DATAFOLDER. Exit code: the failure code, or the check's result (1 update, 0 none).
#include <windows.h>

#include "common/com_init.h"
#include "common/scoped_bstr.h"
#include "update/info/zep_update_info_manager_impl.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 7)
        return 100;
    CComInitScope com;
    CZepUpdateInfoManagerImpl manager(argv[6]);
    CScopedBstr bstrBase(argv[1]), bstrService(argv[2]), bstrCategory(argv[3]), bstrModel(argv[4]),
        bstrVersion(argv[5]);
    manager.SetBaseURL(bstrBase);
    ZEP_CURRENT_VERSION_INFO current = {};
    current.m_bstrModel = bstrModel;
    current.m_bstrCategory = bstrCategory;
    current.m_bstrCurrentVersion = bstrVersion;
    long lResult = 0;
    const HRESULT hr = manager.CheckWhetherUpdateExists(bstrService, &current, &lResult);
    manager.Terminate();
    return FAILED(hr) ? static_cast<int>(hr) : static_cast<int>(lResult);
}
