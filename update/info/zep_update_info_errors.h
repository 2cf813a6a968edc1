#pragma once
#include <windows.h>

// The information file is unusable or incomplete (I/O, layout, charset, XML, missing parts).
#define ZEP_E_INFO_FILE_INVALID ((HRESULT)0x80044301L)
// The information file's header lines or its digest do not verify.
#define ZEP_E_INFO_HEADER_INVALID ((HRESULT)0x80044204L)
// What the MSXML 6.0 parser reports for a document with a DTD.
#define ZEP_E_XML_DTD_PROHIBITED ((HRESULT)0xC00CEE4EL)
