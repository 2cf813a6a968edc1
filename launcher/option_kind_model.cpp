#include "launcher/option_kind_model.h"

#include <utility>

namespace
{
AppEntry NotSelectedFrom(const AppEntry& customTemplate)
{
    AppEntry entry = customTemplate;
    entry.name = APPENTRY_NAME_NOT_SELECTED;
    return entry;
}
}  // namespace

void COptionKindModel::Init(const AppEntry& current, std::vector<AppEntry> candidates, bool bMandatory)
{
    m_current = current;
    m_customTemplate = AppEntry();
    m_candidates.clear();
    m_candidates.reserve(candidates.size() + 2);
    bool bHaveTemplate = false;
    for (AppEntry& candidate : candidates)
    {
        if (candidate.name == APPENTRY_NAME_CUSTOM)
        {
            // The registry lists at most one in practice; the first one is the template.
            if (!bHaveTemplate)
                m_customTemplate = std::move(candidate);
            bHaveTemplate = true;
            continue;
        }
        m_candidates.push_back(std::move(candidate));
    }
    m_candidates.insert(m_candidates.begin(), NotSelectedFrom(m_customTemplate));

    if (bMandatory && !PathExists(FindExecutable(m_current)))
        m_current = NotSelectedFrom(m_customTemplate);

    // The last item always stands for the custom program: the chosen one when the selection
    // is custom, else the empty template.
    m_candidates.push_back(m_current.name == APPENTRY_NAME_CUSTOM ? m_current : m_customTemplate);
}

std::wstring COptionKindModel::DisplayText(size_t nIndex, const PathShortener& shorten) const
{
    if (nIndex >= m_candidates.size())
        return std::wstring();
    const AppEntry& entry = m_candidates[nIndex];
    // The last item is the custom one even when the registry offers no "Custom" template (its
    // name is then empty): the user must still be able to pick a program of their own.
    if (entry.name == APPENTRY_NAME_CUSTOM || nIndex + 1 == m_candidates.size())
    {
        const std::wstring path = entry.name == APPENTRY_NAME_CUSTOM ? FindExecutable(entry) : std::wstring();
        if (path.empty())
            return m_texts.strCustom;
        return m_texts.strCustom + L" (" + (shorten ? shorten(path) : path) + L")";
    }
    if (entry.name == APPENTRY_NAME_NOT_SELECTED)
        return m_texts.strNotSelected;
    if (PathExists(FindExecutable(entry)))
        return entry.name;
    return entry.name + L" (" + m_texts.strNotInstalled + L")";
}

int COptionKindModel::SelectedIndex() const
{
    for (size_t i = 0; i < m_candidates.size(); ++i)
    {
        if (m_candidates[i].name == m_current.name)
            return static_cast<int>(i);
    }
    return -1;
}

COptionKindModel::Choice COptionKindModel::Choose(INT_PTR nIndex)
{
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= m_candidates.size())
        return Choice::kUnchanged;
    const size_t nItem = static_cast<size_t>(nIndex);
    const AppEntry& candidate = m_candidates[nItem];
    if (candidate.name == APPENTRY_NAME_CUSTOM || nItem + 1 == m_candidates.size())
        return Choice::kNeedsFile;
    if (candidate.name == APPENTRY_NAME_NOT_SELECTED)
    {
        m_current = candidate;
        return Choice::kChanged;
    }
    // The current program may be chosen again even when it has gone: the user keeps what
    // they have, nothing new is claimed to work.
    if (candidate.name != m_current.name && !PathExists(FindExecutable(candidate)))
        return Choice::kRefused;
    m_current = candidate;
    return Choice::kChanged;
}

void COptionKindModel::ChooseCustomFile(size_t nIndex, const std::wstring& strFile)
{
    if (nIndex >= m_candidates.size())
        return;
    AppEntry entry = m_customTemplate;
    entry.name = APPENTRY_NAME_CUSTOM;
    const size_t nSlash = strFile.find_last_of(L"\\/");
    if (nSlash == std::wstring::npos)
    {
        entry.path.clear();
        entry.exe = strFile;
    }
    else
    {
        entry.path = strFile.substr(0, nSlash);
        entry.exe = strFile.substr(nSlash + 1);
    }
    m_current = entry;
    m_candidates[nIndex] = entry;
}
