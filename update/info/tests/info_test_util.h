#pragma once
// Building information files for the tests.
#include <windows.h>
#include <string>

#include "common/com_init.h"

namespace infotest
{
// "eaid: ENC0001\ndaid: <daid>\ndigest: <digest>\n\n" + body, as bytes.
std::string MakeFile(const std::string& strDaid, const std::string& strDigest, const std::string& strBody);
// A file whose digest is computed for the service and category with the given identifier
// ("HAS0002" or "HAS0003").
std::string MakeSignedFile(const std::string& strBody, const std::wstring& strService, const std::wstring& strCategory,
                           const std::string& strDaid = "HAS0003");
// Writes bytes to a file in the test's temp folder and returns its path.
std::wstring WriteTempFile(const std::wstring& strName, const std::string& strBytes);
// An unsigned ("HAS0001") file made from the body.
std::string Unsigned(const std::string& strBody);

// The build's development signing key, which the client built beside the tests trusts.
std::wstring DevKeyPath();
// The info.xml.sig the development key makes for the exact bytes of an information file.
std::string SignatureFor(const std::string& strInfo, const std::wstring& strService, const std::wstring& strCategory,
                         ULONGLONG ullSerial = 1000, const std::wstring& strExpires = L"2099-12-31T00:00:00Z");
}  // namespace infotest
