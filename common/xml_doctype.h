#pragma once
// Document type declarations in XML that another program or user could have written are refused
// before the parser sees them: entity declarations can expand without bound or pull in other
// files, and not every MSXML honours ProhibitDTD.
#include <string>

// Finds a "<!DOCTYPE" in the prolog, after white space, processing instructions and comments;
// posDoctype receives its offset in text.
bool FindXmlDoctype(const std::wstring& text, size_t& posDoctype);

// The text of an XML file's bytes, as far as FindXmlDoctype needs it: UTF-16 in either byte
// order (told by its byte-order mark or by its first character being "<"), otherwise UTF-8;
// without the byte-order mark.
std::wstring XmlBytesToText(const std::string& bytes);
