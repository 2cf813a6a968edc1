#include "launcher/description_switcher.h"

bool CDescriptionSwitcher::OnHover(UINT nId, Change& change)
{
    const auto it = m_mapButtons.find(nId);
    if (nId != 0 && it != m_mapButtons.end())
    {
        if (nId == m_nShownId)
            return false;
        m_nShownId = nId;
        change.text = it->second;
        change.bEnabled = true;
        return true;
    }
    if (m_nShownId == 0)
        return false;
    m_nShownId = 0;
    change.text = m_strGeneral;
    change.bEnabled = false;
    return true;
}
