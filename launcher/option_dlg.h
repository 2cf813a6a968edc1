#pragma once
// The settings page that chooses the program each content button starts: one drop-down list
// per kind mirroring a COptionKindModel.
#include <windows.h>

#include <string>
#include <vector>

#include "common/dialog_base.h"
#include "launcher/option_kind_model.h"

class CLauncherSettings;
class ITolvikShell;
class IAppFileChooser;

class COptionDlg : public CDialogBase
{
public:
    // Kinds in the order they are shown and stored: music, photo, video, podcast.
    static const size_t kKindCount = 4;

    COptionDlg(CLauncherSettings& settings, bool bMandatory, ITolvikShell& shell, IAppFileChooser& chooser);

    // The four selections as they will be stored.
    void GetSelections(AppEntry& music, AppEntry& photo, AppEntry& video, AppEntry& podcast) const;
    const COptionKindModel& Model(size_t nKind) const { return m_models[nKind]; }
    static UINT ComboId(size_t nKind);

protected:
    BOOL OnInitDialog() override;
    void OnCommand(WORD wId, WORD wNotifyCode, HWND hwndControl) override;

private:
    void FillCombo(size_t nKind);
    void SetItem(size_t nKind, size_t nIndex, bool bReplace);
    void ReselectCurrent(size_t nKind);
    void OnSelectionChange(size_t nKind);
    std::wstring ShortenToCombo(HWND hwndCombo, const std::wstring& path) const;

    CLauncherSettings& m_settings;
    bool m_bMandatory;
    ITolvikShell& m_shell;
    IAppFileChooser& m_chooser;
    std::wstring m_strCustom;
    std::vector<COptionKindModel> m_models;
};
