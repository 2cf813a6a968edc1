#include "launcher/update_page_settings.h"

#include "launcher/settings/update_schedule.h"

CUpdatePageSettings CUpdatePageSettings::Load()
{
    const UpdateScheduleValues values = ReadUpdateScheduleValues();
    CUpdatePageSettings settings;
    settings.m_bCheckAtStart = !values.m_bHasUpdateStart || values.m_byUpdateStart != 0;
    settings.m_dwFrequency = values.m_bHasUpdateFrequency ? values.m_dwUpdateFrequency : UPDATE_FREQUENCY_WEEKLY;
    return settings;
}

void CUpdatePageSettings::Save() const
{
    WriteUpdateStart(m_bCheckAtStart);
    WriteUpdateFrequency(m_dwFrequency);
}
