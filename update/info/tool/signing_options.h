#pragma once
// The signing options of zepinfo publish (--key, --serial, --expires) and the checks of a
// signature the tool has just written.
#include <windows.h>

#include <string>

#include "update/info/tool/command_line.h"
#include "update/info/tool/update_signing_key.h"

struct SigningOptions
{
    CUpdateSigningKey key;
    ULONGLONG ullSerial = 0;
    std::wstring strExpires;
};

// Prints "zepinfo NAME: PROBLEM" and returns false when an option is missing or wrong.
bool ReadSigningOptions(const wchar_t* pszName, const CCommandLine& cmd, SigningOptions& options);
// Empty when the client's own check accepts the signature for the key that made it; else why not.
std::wstring CheckPublishedSignature(const CUpdateSigningKey& key, const std::string& strInfo,
                                     const std::string& strSignature, const std::wstring& strService,
                                     const std::wstring& strCategory);
// Whether the client code built into this program trusts the key.
bool IsTrustedKey(const EcdsaP256::PublicPoint& point);
