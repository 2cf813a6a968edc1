#pragma once
// Reading and writing DOM documents kept in files other programs or users may write.
#include <windows.h>
#include <msxml2.h>

#include <cstdint>
#include <string>

// Parses the file's bytes as read once (the file may change meanwhile), refusing a document type
// declaration. S_OK when it parsed; S_FALSE when it is missing, holds more than cbMax bytes, has
// a document type declaration or is not well-formed.
HRESULT LoadXmlFile(IXMLDOMDocument* pDocument, const std::wstring& path, uint64_t cbMax);

// Writes the document to a new file in the target's folder, flushes it and only then moves it
// over the target, so the target is either the old file or the complete new one.
HRESULT SaveXmlReplacing(IXMLDOMDocument* pDocument, const std::wstring& path);
