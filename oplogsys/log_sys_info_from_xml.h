#pragma once
#include <windows.h>
#include <msxml2.h>
#include <string>
#include "oplogsys/log_sys_info.h"

namespace opLogSys
{
// A configuration read once from a ".log.xml" file; a missing or unreadable file leaves the
// defaults (no filters, no output).
class CLogSysInfoFromXML : public Common::CReference<ILogSysInfo>
{
public:
    explicit CLogSysInfoFromXML(const wchar_t* pszPath) noexcept;
    ~CLogSysInfoFromXML() override;

    IOutputLogSystemFactory* GetFactory() override;
    ILogFilter* GetFilter() override;

    virtual HRESULT ParseFactory(IXMLDOMNode* pNode);
    virtual HRESULT ParseFilter(IXMLDOMNode* pNode);
    virtual HRESULT ParseFilterList(IXMLDOMNode* pNode);
    virtual HRESULT ParseTopLevel(IXMLDOMNode* pNode);
    virtual HRESULT Load();

private:
    std::wstring m_strPath;
    CLogSysInfo* m_pInfo;
};
}  // namespace opLogSys
