#pragma once
// Folders shared by every user of the machine: the update components' data and download
// folders are written by whichever user or service runs the update; and the folders of one user
// below them, which nobody else may write.
#include <windows.h>

#include <string>

#include "common/unique_resource.h"

// Creates the folder and each missing level above it. A level that has to be made gets an access
// list granting full control, inherited by files and subfolders, to Authenticated Users, Local
// System, Administrators and Users. S_OK also when the folder already existed.
HRESULT CreateFolderForAllUsers(const std::wstring& strPath);

// A self-relative security descriptor whose access list allows full control, inherited by files
// and subfolders, to each of the cSids accounts in order; with pOwner as owner (none when null)
// and, when bProtected, an access list that takes nothing from the parent. Empty on failure.
UniqueLocalMem BuildFolderSecurity(const PSID* pSids, size_t cSids, PSID pOwner, bool bProtected);

// Whether the file system keeps the access list set on a folder. Wine derives a folder's access
// list from its Unix mode and keeps none that is set, so there is nothing to read back there.
bool FoldersKeepAccessLists();

// The security identifier of the user this process runs as, as text ("S-1-5-21-...").
HRESULT CurrentUserSidText(std::wstring& strSid);

// A self-relative security descriptor for a folder of the current user: the user as owner, and a
// protected access list granting full control, inherited by files and subfolders, to the user,
// Local System and Administrators only. Empty when it cannot be built.
UniqueLocalMem BuildPrivateFolderSecurity();

// Whether a folder's security descriptor keeps everybody else out: the owner is the current user,
// Local System or Administrators; the access list is protected from inheritance and allows no
// one but those three.
bool IsPrivateFolderSecurity(PSECURITY_DESCRIPTOR pSecurity);

// Whether a level of strPath below strBase (strBase itself not included; all levels when strPath
// is not below it) is a reparse point - a junction, a symbolic link, a mount point - or cannot be
// looked at. Missing levels are none.
bool HasReparsePointBelow(const std::wstring& strBase, const std::wstring& strPath);

// Opens the folder strPath, creating it with BuildPrivateFolderSecurity when missing (its parent
// must exist), and keeps it open in hFolder without delete sharing, so that neither it nor a level
// above it can be renamed or replaced while hFolder is held. Refused with E_ACCESSDENIED when a
// level below strBase is a reparse point, or when the folder belongs to someone else; a folder
// of ours whose access list lets others in gets the private one again, read back before use
// (where the file system keeps access lists).
HRESULT OpenPrivateFolder(const std::wstring& strBase, const std::wstring& strPath, UniqueHandle& hFolder);
