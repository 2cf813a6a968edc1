#pragma once
// Checks an update information document for everything the client needs to evaluate it, so
// that a file is refused at publishing time instead of failing on every player later.
#include <windows.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "common/msxml_guids.h"

class CInfoBodyChecker
{
public:
    struct Finding
    {
        bool bError;  // false: a warning, publishing goes on
        std::wstring strWhere;
        std::wstring strText;
    };

    // Appends what it finds; S_OK unless the document could not be read.
    HRESULT Check(IXMLDOMDocument* pDocument, std::vector<Finding>& findings);

private:
    HRESULT CheckApplyCondition(IXMLDOMNode* pCondition, const std::wstring& strWhere);
    HRESULT CheckRule(IXMLDOMNode* pRule, const std::wstring& strWhere);
    HRESULT CheckDescriptions(IXMLDOMNode* pCondition, const std::wstring& strWhere);
    HRESULT CheckDistributions(IXMLDOMNode* pCondition, const std::wstring& strWhere);
    // Warns of a package MAC no download matches, or one weaker than SHA-256.
    void CheckMac(const std::wstring& strMac, const std::wstring& strWhere);
    HRESULT CheckControlConditions(IXMLDOMNode* pRoot);
    HRESULT CheckExtensions(IXMLDOMNode* pRoot);
    // Reports a missing attribute as an error; S_FALSE when it is missing.
    HRESULT Require(IXMLDOMNode* pNode, const wchar_t* pszName, const std::wstring& strWhere, std::wstring& strValue);
    // The child element pszName of pNode; S_FALSE (after recording the error) when it is missing.
    HRESULT RequireElement(IXMLDOMNode* pNode, const wchar_t* pszName, const std::wstring& strWhere,
                           Microsoft::WRL::ComPtr<IXMLDOMNode>& child);

    void Error(const std::wstring& strWhere, const std::wstring& strText);
    void Warning(const std::wstring& strWhere, const std::wstring& strText);

    std::vector<Finding>* m_pFindings = nullptr;
};
