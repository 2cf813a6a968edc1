#pragma once
// Asking the user for a program of their own: the system's file-open dialog behind a small
// interface, so that the settings page can be driven without a person at the screen.
#include <windows.h>

#include <string>

class IAppFileChooser
{
public:
    virtual ~IAppFileChooser() = default;
    // Shows the dialog starting at strInitialFile; true with the chosen full path when the
    // user confirmed.
    virtual bool Choose(HWND hwndOwner, const std::wstring& strInitialFile, std::wstring& strChosen) = 0;
};

class CSelectAppFileDlg : public IAppFileChooser
{
public:
    bool Choose(HWND hwndOwner, const std::wstring& strInitialFile, std::wstring& strChosen) override;

    // "Name|pattern||" as the string table holds it, with the bars made the dialog's NULs.
    static std::wstring FilterFromResource(const std::wstring& strText);
};
