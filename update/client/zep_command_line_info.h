#pragma once
// The update client's command line: a mode switch, then one block of switches per service. Each
// switch is one letter A-Z followed by its value; a "C" value starts the next service.
#include <windows.h>

#include <array>
#include <string>

#include "common/scoped_bstr.h"

#define ZEP_MAX_SERVICES 5
#define ZEP_SWITCH_LETTERS 26

class CZepCommandLineInfo
{
public:
    // One token of the command line. bFlag: the token was a switch ("/X" or "-X"), given here
    // without its slash or hyphen.
    void ParseParam(const wchar_t* pszParam, bool bFlag, bool bLast);
    // Splits a whole command line tail (without the program) as the runtime does and parses
    // each token.
    void ParseCommandLine(const wchar_t* pszArguments);

    // Services named on the command line, at most ZEP_MAX_SERVICES.
    int ServiceCount() const noexcept { return m_nServiceCount; }
    // The value of a switch letter of one service entry; "" when absent, never null.
    const wchar_t* Value(int nService, wchar_t chLetter) const noexcept;
    // Replaces a value (the player's own service identifier replaces the generic one).
    void SetValue(int nService, wchar_t chLetter, const wchar_t* pszValue);

private:
    static int LetterIndex(wchar_t chLetter) noexcept;

    std::array<std::array<CScopedBstr, ZEP_SWITCH_LETTERS>, ZEP_MAX_SERVICES> m_bstrSlots;
    int m_nServiceCount = 0;
    int m_nSwitchIndex = -1;
    wchar_t m_chSwitch = 0;
    // Set by a category switch beyond the last entry: that service and its values are dropped
    // rather than written over the last service that fits.
    bool m_bDropping = false;
};
