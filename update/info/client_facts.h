#pragma once
#include <string>

// What the rules of an information file are tested against: facts about the player (from the
// request) and about this computer. An absent fact is the empty string.
struct ClientFacts
{
    std::wstring m_strModel;
    std::wstring m_strOSName;
    std::wstring m_strOSVersion;
    std::wstring m_strOSEdition;
    std::wstring m_strOSServicePack;
    std::wstring m_strNation;
    std::wstring m_strLanguage;
    std::wstring m_strClientVersion;
    std::wstring m_strCurrentVersion;
    std::wstring m_strSerialNumber;
    std::wstring m_strExtensionKey;
    std::wstring m_strProductionMode;
};
