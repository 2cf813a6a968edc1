#pragma once
// The drive type of a root path (DRIVE_REMOVABLE, DRIVE_FIXED, ...), behind an interface so
// tests can offer drives the machine does not have.
#include <windows.h>

class IDriveTypeQuery
{
public:
    virtual ~IDriveTypeQuery() = default;
    virtual UINT GetDriveType(const wchar_t* pszRoot) = 0;
};

class CSystemDriveTypeQuery : public IDriveTypeQuery
{
public:
    UINT GetDriveType(const wchar_t* pszRoot) override { return ::GetDriveTypeW(pszRoot); }
};
