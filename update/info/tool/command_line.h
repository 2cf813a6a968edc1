#pragma once
// Options of the form "--name value" or "--name=value", flags and positional arguments.
#include <map>
#include <set>
#include <string>
#include <vector>

class CCommandLine
{
public:
    // valueOptions take a value; flags do not.
    CCommandLine(std::set<std::wstring> valueOptions, std::set<std::wstring> flags);

    // Parses the arguments after the command word. False with a message on an unknown option
    // or a missing value.
    bool Parse(int argc, wchar_t** argv, int nFirst, std::wstring& strError);

    bool Has(const std::wstring& strName) const;
    std::wstring Get(const std::wstring& strName, const std::wstring& strDefault = std::wstring()) const;
    const std::vector<std::wstring>& Positionals() const { return m_positionals; }

private:
    std::set<std::wstring> m_valueOptions;
    std::set<std::wstring> m_flags;
    std::map<std::wstring, std::wstring> m_values;
    std::vector<std::wstring> m_positionals;
};
