#pragma once
// What the settings page offers for one content kind: the candidate list behind the combo box,
// the text of each item and the selection the page will store. No window here, so tests drive
// it directly; the page only mirrors it into its combo box.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "launcher/settings/app_entry.h"

class COptionKindModel
{
public:
    // The texts the items are built from (string resources of the program).
    struct Texts
    {
        std::wstring strNotInstalled;  // appended in parentheses to a missing program's name
        std::wstring strNotSelected;   // the whole text of the "Not Selected" item
        std::wstring strCustom;        // the custom item's text, before the chosen path
    };
    // Shortens a path so that it fits the room the combo leaves beside the custom prefix.
    using PathShortener = std::function<std::wstring(const std::wstring& path)>;

    enum class Choice
    {
        kChanged,    // the selection is now the chosen candidate
        kUnchanged,  // nothing to do (invalid item)
        kRefused,    // the candidate is not installed: tell the user, keep the selection
        kNeedsFile,  // the custom item: ask for a program, then call ChooseCustomFile
    };

    explicit COptionKindModel(const Texts& texts) : m_texts(texts) {}

    // Builds the list from the stored selection and the kind's registry candidates. In mandatory
    // mode a selection whose program cannot be found becomes "Not Selected".
    void Init(const AppEntry& current, std::vector<AppEntry> candidates, bool bMandatory);

    const std::vector<AppEntry>& Candidates() const { return m_candidates; }
    const AppEntry& Current() const { return m_current; }
    const AppEntry& CustomTemplate() const { return m_customTemplate; }

    // Text of the item for candidate nIndex.
    std::wstring DisplayText(size_t nIndex, const PathShortener& shorten) const;
    // Index of the first candidate named like the selection; -1 when none is.
    int SelectedIndex() const;

    // The user picked the item for candidate nIndex (any value, as the combo reports it).
    Choice Choose(INT_PTR nIndex);
    // The user picked strFile for the custom item nIndex: the selection becomes the custom
    // template located at that file, and so does the candidate.
    void ChooseCustomFile(size_t nIndex, const std::wstring& strFile);

private:
    Texts m_texts;
    AppEntry m_current;
    AppEntry m_customTemplate;
    std::vector<AppEntry> m_candidates;
};
