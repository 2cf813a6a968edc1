#pragma once
// Starting a program through the shell, behind an interface so tests can see the starts.
#include <windows.h>
#include <string>

class IShellStarter
{
public:
    virtual ~IShellStarter() = default;
    // Default verb, no owner window, no working directory, normal show state.
    virtual void Start(const std::wstring& file, const std::wstring& parameters) = 0;
};

class CSystemShellStarter : public IShellStarter
{
public:
    void Start(const std::wstring& file, const std::wstring& parameters) override;
};
