#pragma once
// The update client's acceptance of a downloaded package, applied to a file the downloader
// reported complete: the size and the digest that the signed update information gives for the
// intended file.
#include <string>

// Whether the client would take the file at strPath for strIntended: the same size, and the
// SHA-1 of strIntended as its MAC passes the client's digest check.
bool ClientAcceptsPackage(const std::wstring& strPath, const std::string& strIntended);
