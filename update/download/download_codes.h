#pragma once
// The downloader's own result codes, its status notification codes and the callback that
// receives them.
#include <windows.h>

// Results of CXHttpDownloader (its own facility; the download manager maps them to public codes).
const HRESULT E_DL_BAD_TARGET = static_cast<HRESULT>(0x80042000L);
const HRESULT E_DL_SEEK = static_cast<HRESULT>(0x80042001L);
const HRESULT E_DL_WRITE = static_cast<HRESULT>(0x80042002L);
const HRESULT E_DL_CREATE_FOLDER = static_cast<HRESULT>(0x80042003L);
const HRESULT E_DL_DISK_FULL = static_cast<HRESULT>(0x80042004L);
const HRESULT E_DL_LENGTH_MISMATCH = static_cast<HRESULT>(0x80042005L);
const HRESULT E_DL_NETWORK = static_cast<HRESULT>(0x80042006L);
const HRESULT E_DL_TIMEOUT = static_cast<HRESULT>(0x80042007L);
const HRESULT E_DL_CERTIFICATE = static_cast<HRESULT>(0x80042008L);
const HRESULT E_DL_AUTH_REQUIRED = static_cast<HRESULT>(0x80042009L);
const HRESULT E_DL_HTTP_400 = static_cast<HRESULT>(0x8004200AL);
const HRESULT E_DL_HTTP_404 = static_cast<HRESULT>(0x8004200BL);
const HRESULT E_DL_HTTP_500 = static_cast<HRESULT>(0x8004200CL);
const HRESULT E_DL_CANCELED = static_cast<HRESULT>(0x8004200DL);
// Refused because a transfer of the same downloader is running; nothing was changed. A
// Win32-derived code, so that it passes the download manager's mapping unchanged.
const HRESULT E_DL_BUSY = HRESULT_FROM_WIN32(ERROR_BUSY);

// Status notification codes passed to the callback.
enum eDownloadMessage
{
    eMsgDownloadSize = 0,
    eMsgResolvingName = 1,
    eMsgNameResolved = 2,
    eMsgConnectingServer = 3,
    eMsgConnectedToServer = 4,
    eMsgSendingRequest = 5,
    eMsgHttpStatus = 6,
    eMsgRequestSent = 7,
    eMsgClosingConnection = 8,
    eMsgConnectionClosed = 9,
    eMsgDetectingProxy = 10,
    eMsgDownloadBegin = 11,
    eMsgDownloadProgress = 12,
    eMsgDownloadEnd = 13,
};

// How the callback's value argument is to be read.
enum eDownloadValueKind
{
    eValueNone = 0,
    eValueString = 1,   // a const wchar_t* valid for the duration of the call
    eValueNumber = 2,
    eValueHResult = 3,
};

// Status callback: (context, code, value, kind). Context and value are pointer-sized because
// the context is usually an object and a kind-1 value is a string pointer. The result is ignored.
typedef long(CALLBACK* PFN_XHTTP_DOWNLOAD_CALLBACK)(DWORD_PTR dwContext, DWORD dwCode, DWORD_PTR dwValue,
                                                    DWORD dwKind);
