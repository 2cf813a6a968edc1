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
}  // namespace infotest
