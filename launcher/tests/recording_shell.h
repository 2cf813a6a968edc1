#pragma once
// Stands in for the shell: remembers what the launcher would have started, shown or
// broadcast, and answers with a chosen result.
#include <windows.h>
#include <string>
#include <vector>

#include "launcher/tolvik_shell.h"

class CRecordingShell : public ITolvikShell
{
public:
    struct ExecuteCall
    {
        std::wstring verb;
        std::wstring file;
        std::wstring parameters;
        std::wstring directory;
        int nShowCmd;
    };
    struct BroadcastCall
    {
        UINT uMsg;
        WPARAM wParam;
        LPARAM lParam;
    };

    INT_PTR Execute(HWND, const std::wstring& verb, const std::wstring& file, const std::wstring& parameters,
                    const std::wstring& directory, int nShowCmd) override
    {
        m_executed.push_back({verb, file, parameters, directory, nShowCmd});
        return m_nExecuteResult;
    }
    int ShowMessage(HWND, const std::wstring& text, UINT uType) override
    {
        m_messages.push_back(text);
        m_messageTypes.push_back(uType);
        return IDOK;
    }
    void Broadcast(UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        m_broadcasts.push_back({uMsg, wParam, lParam});
    }

    bool Quiet() const { return m_executed.empty() && m_messages.empty() && m_broadcasts.empty(); }

    INT_PTR m_nExecuteResult = 42;
    std::vector<ExecuteCall> m_executed;
    std::vector<std::wstring> m_messages;
    std::vector<UINT> m_messageTypes;
    std::vector<BroadcastCall> m_broadcasts;
};
