#pragma once
// Reading access lists back in tests. Upstream Wine derives a file's access list from its Unix
// mode and keeps nothing that was set; Windows keeps it. Tests that read one back ask first.
#include <windows.h>

#include <string>

namespace zeptest
{
// The four inheritable "allow generic all" entries of a folder every user of the machine
// writes: Authenticated Users, Local System, Administrators, Users.
extern const wchar_t kAllUsersFolderAcl[];

// An access list as "allow|mask|flags|sid" lines; "no dacl" for none.
std::wstring DescribeAcl(const ACL* pDacl);
// The discretionary access list of a file or folder, described; "error <n>" when unreadable.
std::wstring DescribeFileAcl(const std::wstring& strPath);
// Whether a folder in the test's temp folder keeps those four entries when they are set on it.
bool FileSystemKeepsAccessLists();
}  // namespace zeptest
