#pragma once
// Which text the main window's description area shows: the general description (greyed)
// or the description of the button under the pointer (enabled).
#include <windows.h>
#include <map>
#include <string>

class CDescriptionSwitcher
{
public:
    struct Change
    {
        std::wstring text;
        bool bEnabled;
    };

    void SetGeneral(const std::wstring& text) { m_strGeneral = text; }
    const std::wstring& General() const { return m_strGeneral; }
    // Only ids given here switch to their own text; every other id means "no button".
    void SetButtonDescription(UINT nId, const std::wstring& text) { m_mapButtons[nId] = text; }

    // A hover notification for control nId (0 = the pointer left the buttons). Returns true
    // and fills change when the area must show something else.
    bool OnHover(UINT nId, Change& change);
    UINT ShownId() const { return m_nShownId; }

private:
    std::wstring m_strGeneral;
    std::map<UINT, std::wstring> m_mapButtons;
    UINT m_nShownId = 0;
};
