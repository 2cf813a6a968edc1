#include "watcher/exec_scsi_emulated.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/file_util.h"

namespace
{
const BYTE kInquiry = 0x12;

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool CExecScsiEmulated::ParseInquiryMap(const std::string& text, std::map<int, std::vector<BYTE>>& responses)
{
    size_t pos = 0;
    while (pos < text.size())
    {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        const char letter = static_cast<char>(toupper(static_cast<unsigned char>(line[first])));
        if (letter < 'A' || letter > 'Z')
            return false;
        std::vector<BYTE> bytes;
        int high = -1;
        for (size_t i = first + 1; i < line.size(); ++i)
        {
            const char c = line[i];
            if (c == ' ' || c == '\t' || c == ':' || c == '=')
                continue;
            const int digit = HexDigit(c);
            if (digit < 0)
                return false;
            if (high < 0)
                high = digit;
            else
            {
                bytes.push_back(static_cast<BYTE>((high << 4) | digit));
                high = -1;
            }
        }
        if (high >= 0)
            return false;
        responses[letter - 'A'] = bytes;
    }
    return true;
}

void CExecScsiEmulated::Reload()
{
    if (m_mapFile.empty())
        return;
    std::string text;
    std::map<int, std::vector<BYTE>> responses;
    if (ReadWholeFile(m_mapFile, text) == ERROR_SUCCESS)
        ParseInquiryMap(text, responses);
    m_responses.swap(responses);
}

bool CExecScsiEmulated::Open()
{
    Reload();
    return m_responses.count(m_nDrive) != 0;
}

bool CExecScsiEmulated::ExecNoData(const BYTE* pCdb, BYTE cbCdb, DWORD* pdwSenseCode)
{
    return ExecDataIn(pCdb, cbCdb, nullptr, 0, pdwSenseCode);
}

bool CExecScsiEmulated::ExecDataIn(const BYTE* pCdb, BYTE cbCdb, BYTE* pBuffer, DWORD cbBuffer, DWORD* pdwSenseCode)
{
    if (!pCdb || cbCdb == 0 || cbCdb > 16)
        return false;
    m_commands.emplace_back(m_nDrive, std::vector<BYTE>(pCdb, pCdb + cbCdb));
    if (!Open())
        return false;
    if (pCdb[0] != kInquiry)
        return false;
    const std::vector<BYTE>& response = m_responses[m_nDrive];
    if (cbBuffer && pBuffer)
    {
        memset(pBuffer, 0, cbBuffer);
        memcpy(pBuffer, response.data(), std::min<size_t>(cbBuffer, response.size()));
    }
    if (pdwSenseCode)
        *pdwSenseCode = 0;
    return true;
}

bool CExecScsiEmulated::ExecDataOut(const BYTE* pCdb, BYTE cbCdb, BYTE*, DWORD, DWORD*)
{
    if (pCdb && cbCdb)
        m_commands.emplace_back(m_nDrive, std::vector<BYTE>(pCdb, pCdb + cbCdb));
    return false;
}
