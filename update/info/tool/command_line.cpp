#include "update/info/tool/command_line.h"

CCommandLine::CCommandLine(std::set<std::wstring> valueOptions, std::set<std::wstring> flags)
    : m_valueOptions(std::move(valueOptions)), m_flags(std::move(flags))
{
}

bool CCommandLine::Parse(int argc, wchar_t** argv, int nFirst, std::wstring& strError)
{
    bool bOptionsEnded = false;
    for (int i = nFirst; i < argc; ++i)
    {
        std::wstring strArg = argv[i];
        if (bOptionsEnded || strArg.size() < 2 || strArg.compare(0, 2, L"--") != 0)
        {
            m_positionals.push_back(strArg);
            continue;
        }
        if (strArg == L"--")
        {
            bOptionsEnded = true;
            continue;
        }
        std::wstring strName = strArg.substr(2);
        std::wstring strValue;
        bool bHasValue = false;
        const size_t eq = strName.find(L'=');
        if (eq != std::wstring::npos)
        {
            strValue = strName.substr(eq + 1);
            strName.erase(eq);
            bHasValue = true;
        }
        if (m_flags.count(strName))
        {
            if (bHasValue)
            {
                strError = L"option --" + strName + L" takes no value";
                return false;
            }
            m_values[strName] = L"";
            continue;
        }
        if (!m_valueOptions.count(strName))
        {
            strError = L"unknown option --" + strName;
            return false;
        }
        if (!bHasValue)
        {
            if (i + 1 >= argc)
            {
                strError = L"option --" + strName + L" needs a value";
                return false;
            }
            strValue = argv[++i];
        }
        m_values[strName] = strValue;
    }
    return true;
}

bool CCommandLine::Has(const std::wstring& strName) const
{
    return m_values.count(strName) != 0;
}

std::wstring CCommandLine::Get(const std::wstring& strName, const std::wstring& strDefault) const
{
    const auto it = m_values.find(strName);
    return it == m_values.end() ? strDefault : it->second;
}
