#include "launcher/select_app_file_dlg.h"

#include <commdlg.h>

#include <vector>

#include "launcher/resource.h"
#include "launcher/resource_string.h"

namespace
{
// Room for long paths; the dialog refuses (and we keep the old choice) when even this is short.
const size_t kFileBufferChars = 4096;
}  // namespace

std::wstring CSelectAppFileDlg::FilterFromResource(const std::wstring& strText)
{
    std::wstring filter = strText;
    for (wchar_t& ch : filter)
    {
        if (ch == L'|')
            ch = L'\0';
    }
    // The dialog reads pairs up to an empty string: make sure the list ends with two NULs.
    filter.push_back(L'\0');
    filter.push_back(L'\0');
    return filter;
}

bool CSelectAppFileDlg::Choose(HWND hwndOwner, const std::wstring& strInitialFile, std::wstring& strChosen)
{
    std::vector<wchar_t> buffer(kFileBufferChars, L'\0');
    if (strInitialFile.size() < buffer.size())
        strInitialFile.copy(buffer.data(), strInitialFile.size());
    const std::wstring title = LoadResourceString(IDS_SELECT_APP_TITLE);
    const std::wstring filter = FilterFromResource(LoadResourceString(IDS_SELECT_APP_FILTER));

    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = hwndOwner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrDefExt = L"exe";
    // The launcher's working folder stays its own: the programs it starts inherit it.
    ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
    if (!::GetOpenFileNameW(&ofn))
        return false;
    strChosen = buffer.data();
    return !strChosen.empty();
}
