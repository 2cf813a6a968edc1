#pragma once
// A SCSI executor without hardware: answers INQUIRY for the drives it knows from a table of
// canned responses, optionally read from a text file before every command so a running
// program can be given new devices. Lines of the file: a drive letter, then the response
// bytes in hexadecimal (spaces allowed); '#' starts a comment line.
#include <map>
#include <string>
#include <vector>

#include "watcher/exec_scsi_interface.h"

class CExecScsiEmulated : public CExecScsiInterface
{
public:
    CExecScsiEmulated() = default;
    explicit CExecScsiEmulated(const std::wstring& mapFile) : m_mapFile(mapFile) {}

    void SetInquiryResponse(int nDrive, const std::vector<BYTE>& response) { m_responses[nDrive] = response; }
    // Commands sent so far, as (drive index, CDB bytes).
    const std::vector<std::pair<int, std::vector<BYTE>>>& Commands() const noexcept { return m_commands; }

    bool Open() override;
    void Close() override {}
    bool LockVolume() override { return Open(); }
    bool UnlockVolume() override { return Open(); }
    bool ExecNoData(const BYTE* pCdb, BYTE cbCdb, DWORD* pdwSenseCode) override;
    bool ExecDataIn(const BYTE* pCdb, BYTE cbCdb, BYTE* pBuffer, DWORD cbBuffer, DWORD* pdwSenseCode) override;
    bool ExecDataOut(const BYTE* pCdb, BYTE cbCdb, BYTE* pBuffer, DWORD cbBuffer, DWORD* pdwSenseCode) override;

    // Parses the text form; false on a malformed line (the map then holds the lines before it).
    static bool ParseInquiryMap(const std::string& text, std::map<int, std::vector<BYTE>>& responses);

private:
    void Reload();

    std::wstring m_mapFile;
    std::map<int, std::vector<BYTE>> m_responses;
    std::vector<std::pair<int, std::vector<BYTE>>> m_commands;
};
