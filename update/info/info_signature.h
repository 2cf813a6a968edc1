#pragma once
// The detached signature beside an update information file ("info.xml.sig"): its text lines,
// the message it signs, and the client's verdict on a file and its signature.
//
//   key: <16 hex digits: the first 8 bytes of SHA-256 of the signer's public point>
//   serial: <1 .. 2^63-1>
//   expires: <YYYY-MM-DDTHH:MM:SSZ>
//   signature: <base64 of the DER ECDSA P-256 signature over SHA-256 of the message>
#include <windows.h>

#include <string>
#include <vector>

#include "update/info/ecdsa_p256.h"

namespace InfoSignature
{
// Larger .sig files are refused unread.
const size_t kMaxSignatureFileBytes = 4096;

struct Fields
{
    std::wstring strKeyId;
    ULONGLONG ullSerial = 0;
    std::wstring strExpires;
    FILETIME ftExpires = {};
    std::vector<BYTE> der;
};

// False with the reason when the text is not exactly the four lines above (in any order, each
// once, LF or CR LF, empty lines ignored).
bool Parse(const std::string& strText, Fields& fields, std::wstring& strProblem);

// The UTF-8 message the signature covers, each line ended by a line feed.
std::string Message(const std::wstring& strCategory, const std::wstring& strService, ULONGLONG ullSerial,
                    const std::wstring& strExpires, const std::wstring& strInfoSha256);

// "YYYY-MM-DDTHH:MM:SSZ" for a time, and back; false for any other text or an impossible date.
std::wstring FormatTime(const FILETIME& ft);
bool ParseTime(const std::wstring& strText, FILETIME& ft);
bool ParseSerial(const std::wstring& strText, ULONGLONG& ullSerial);

enum class EVerdict
{
    Valid,
    Missing,
    Malformed,
    UnknownKey,
    BadSignature,
    // The signature does not hold and the information file's own digest is not salted with
    // this service and category: a file published for another one.
    WrongServiceOrCategory,
    Expired,
    SerialLowered,
};

struct Outcome
{
    EVerdict eVerdict = EVerdict::Missing;
    ULONGLONG ullSerial = 0;
    // The error log's line for a refusal, its detail line, and the reason in plain words.
    std::wstring strErrorLine;
    std::wstring strDetailLine;
    std::wstring strDiagnosis;
};

struct Request
{
    const std::string* pInfo = nullptr;  // the information file's bytes
    // Null: there is no .sig.
    const std::string* pSignature = nullptr;
    std::wstring strService;
    std::wstring strCategory;
    FILETIME ftNow = {};
    // The highest serial this machine accepted for the service; 0 when none.
    ULONGLONG ullHighestSerial = 0;
    const std::vector<EcdsaP256::PublicPoint>* pKeys = nullptr;
};

// S_OK with the verdict in outcome; a failure only when the platform's cryptography fails.
HRESULT Check(const Request& request, Outcome& outcome);
}  // namespace InfoSignature
