#pragma once
// What the update page shows and stores: whether the launcher checks at start and how often.
#include <windows.h>

struct CUpdatePageSettings
{
    bool m_bCheckAtStart = true;
    // 0 every start, 1 daily, 2 weekly; any other stored value is kept as it is unless the
    // user picks one of the three.
    DWORD m_dwFrequency = 2;

    // Absent or unreadable values give the defaults above.
    static CUpdatePageSettings Load();
    // Writes both values (the key is created when missing); failures are not reported.
    void Save() const;
    // Radio button position for the frequency: 0, 1 or 2, -1 for a value none stands for.
    int RadioIndex() const { return m_dwFrequency <= 2 ? static_cast<int>(m_dwFrequency) : -1; }
};
