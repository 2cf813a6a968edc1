#pragma once
// Loads a service's update information file and evaluates its conditions against the facts of
// one client. Owned by the update information manager, which serialises the calls.
#include <windows.h>
#include <wrl/client.h>
#include <string>
#include <vector>

#include "common/msxml_guids.h"
#include "update/info/client_facts.h"
#include "update/info/zep_update_records.h"

// Answers a "FirmwareVersion" rule: 0 = the rule holds, positive = it does not, negative = error.
typedef LONG (*PFN_ZEP_VERSION_CHECK)(void* pContext, const wchar_t* pszCurrentVersion, const wchar_t* pszRuleValue,
                                      int nRule);

// What the XML parser reported about a document that is not well formed.
struct ZepXmlParseError
{
    LONG m_lErrorCode = 0;
    LONG m_lLine = 0;
    LONG m_lLinePos = 0;
    std::wstring m_strReason;
};

class CZepUpdateInfoAnalyzer
{
public:
    CZepUpdateInfoAnalyzer();
    CZepUpdateInfoAnalyzer(const CZepUpdateInfoAnalyzer&) = delete;
    CZepUpdateInfoAnalyzer& operator=(const CZepUpdateInfoAnalyzer&) = delete;
    virtual ~CZepUpdateInfoAnalyzer();

    // Whether actual value a stands in relation op to rule value b.
    virtual bool CompareValue(const std::wstring& a, const std::wstring& b, const std::wstring& op);
    // Evaluates one Rule element given by its attributes. An error ends the whole evaluation.
    virtual HRESULT CheckRule(IXMLDOMNamedNodeMap* pAttributes, const ClientFacts& facts, bool* pbHolds);

    // Verifies and decodes the file; S_OK, ZEP_E_INFO_FILE_INVALID or ZEP_E_INFO_HEADER_INVALID.
    HRESULT Load(const wchar_t* pszPath, const wchar_t* pszServiceId, const wchar_t* pszCategory,
                 ZepXmlParseError* pParseError);
    // The same for bytes already in memory (the very bytes whose signature was checked).
    HRESULT LoadBytes(const BYTE* pData, size_t cbData, const wchar_t* pszServiceId, const wchar_t* pszCategory,
                      ZepXmlParseError* pParseError);

    // *pnExist = 1 when an apply condition matches (then *pnForce is its install mode), else 0.
    HRESULT Exist(const ClientFacts& facts, int* pnForce, int* pnExist);
    HRESULT IsServiceOpen(const std::wstring& strModel, zepUpdateCheckMode eMode, bool* pbOpen);
    HRESULT ResolveServiceStatus(const std::wstring& strModel, zepUpdateCheckMode* peMode, bool* pbOpen);
    // Fills the description and packages of the condition the last Exist matched.
    HRESULT GetNewVersionInfo(ZEP_NEW_VERSION_INFO* pInfo);
    void SetVersionCheckCallback(PFN_ZEP_VERSION_CHECK pfnCallback, void* pContext) noexcept;

    // The status word that applies to a model ("open", "manual-only", "close" or another text).
    HRESULT GetServiceStatus(const std::wstring& strModel, std::wstring& strStatus);
    // 1-based index of the condition the last Exist matched; 0 when none did.
    int GetMatchedConditionIndex() const noexcept { return m_nMatchedCondition; }
    bool HasDocument() const noexcept { return m_document != nullptr; }
    IXMLDOMDocument2* GetDocument() const noexcept { return m_document.Get(); }

    // The error lines the last Load wrote to the error log, and in plain words why it failed
    // (also for the failures that write no error line).
    const std::vector<std::wstring>& GetLoadErrorLines() const noexcept { return m_vecLoadErrors; }
    const std::wstring& GetLoadDiagnosis() const noexcept { return m_strLoadDiagnosis; }

private:
    class CLoadFailure;

    void ForgetLoadErrors(ZepXmlParseError* pParseError);
    HRESULT ParseBytes(const BYTE* pData, size_t cbData, const std::wstring& strServiceId,
                       const std::wstring& strCategory, ZepXmlParseError* pParseError, CLoadFailure& failure);
    HRESULT LoadDocument(const std::wstring& strText, ZepXmlParseError* pParseError, CLoadFailure& failure);
    HRESULT CheckRegistryRule(const std::wstring& strKey, const std::wstring& strValue, const std::wstring& strOperator,
                              bool* pbHolds);
    HRESULT CheckExtendedRule(const ClientFacts& facts, const std::wstring& strValue, const std::wstring& strOperator,
                              bool* pbHolds);
    HRESULT CheckFirmwareRule(const ClientFacts& facts, const std::wstring& strValue, const std::wstring& strOperator,
                              bool* pbHolds);
    HRESULT SelectDescription(IXMLDOMNode* pCondition, Microsoft::WRL::ComPtr<IXMLDOMNode>& description);
    void ForgetMatch() noexcept;

    Microsoft::WRL::ComPtr<IXMLDOMDocument2> m_document;
    Microsoft::WRL::ComPtr<IXMLDOMNode> m_description;
    Microsoft::WRL::ComPtr<IXMLDOMNode> m_distributions;
    int m_nMatchedCondition;
    PFN_ZEP_VERSION_CHECK m_pfnVersionCheck;
    void* m_pVersionCheckContext;
    std::vector<std::wstring> m_vecLoadErrors;
    std::wstring m_strLoadDiagnosis;
};
