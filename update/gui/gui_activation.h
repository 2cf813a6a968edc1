#pragma once
// The library's manifest (resource 2) as the active activation context while its windows are
// created, so that they get the common controls with visual styles and the marquee bar, whatever
// the program that loaded the library asked for.
#include <windows.h>

class CGuiActivationScope
{
public:
    CGuiActivationScope() noexcept;
    ~CGuiActivationScope();
    CGuiActivationScope(const CGuiActivationScope&) = delete;
    CGuiActivationScope& operator=(const CGuiActivationScope&) = delete;

private:
    ULONG_PTR m_ulCookie = 0;
    bool m_bActive = false;
};
