#pragma once
// Everything the launcher does that leaves the process or needs a person: shell starts,
// message boxes and the broadcast to the device watcher. Tests replace it to see what
// would have happened without starting programs or waiting on a dialog.
#include <windows.h>
#include <string>

class ITolvikShell
{
public:
    virtual ~ITolvikShell() = default;

    // ShellExecute; an empty verb, parameter or folder text is passed as NULL.
    // Returns the shell's result (greater than 32 on success).
    virtual INT_PTR Execute(HWND hwndOwner, const std::wstring& verb, const std::wstring& file,
                            const std::wstring& parameters, const std::wstring& directory, int nShowCmd) = 0;
    virtual int ShowMessage(HWND hwndOwner, const std::wstring& text, UINT uType) = 0;
    // Posts a message to every top-level window.
    virtual void Broadcast(UINT uMsg, WPARAM wParam, LPARAM lParam) = 0;
};

// The real thing.
class CTolvikShell : public ITolvikShell
{
public:
    INT_PTR Execute(HWND hwndOwner, const std::wstring& verb, const std::wstring& file,
                    const std::wstring& parameters, const std::wstring& directory, int nShowCmd) override;
    int ShowMessage(HWND hwndOwner, const std::wstring& text, UINT uType) override;
    void Broadcast(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
};
