// Where the update client's libraries come from: a program copied into a folder of its own, run
// with a working folder that holds a decoy Drenlox.dll.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/string_util.h"
#include "common/testing/zeptest.h"

namespace
{
std::wstring RunProbe(const std::wstring& strProgram, const wchar_t* pszMode, const std::wstring& strWorkDir)
{
    const std::wstring strOut = zeptest::TestTempDir() + L"probe-out.txt";
    ::DeleteFileW(strOut.c_str());
    DWORD dwExit = 99;
    const std::wstring strCommand =
        L"\"" + strProgram + L"\" " + pszMode + L" \"" + strWorkDir + L"\" \"" + strOut + L"\"";
    if (!zeptest::RunProcess(strCommand, 30000, dwExit) || dwExit != 0)
        return FormatString(L"probe failed, exit %lu", dwExit);
    std::string strText;
    zeptest::ReadFileBytes(strOut, strText);
    return Utf8ToWide(strText);
}

std::wstring Lower(std::wstring str)
{
    for (wchar_t& ch : str)
        ch = static_cast<wchar_t>(::towlower(ch));
    return str;
}
}  // namespace

TEST(DllSearch, DrenloxComesFromTheProgramsFolderNeverFromTheWorkingFolder)
{
    const std::wstring strWork = zeptest::TestTempDir() + L"work";
    ASSERT_TRUE(::CreateDirectoryW(strWork.c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW((zeptest::ExeDir() + L"Drenlox.dll").c_str(), (strWork + L"\\Drenlox.dll").c_str(), FALSE));

    const struct
    {
        const char* pszName;
        const wchar_t* pszMode;
        bool bBesideProgram;
        HRESULT hr;
    } kCases[] = {
        {"bound by the client, none beside it", L"bind", false, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        {"bound by the client, one beside it", L"bind", true, S_OK},
        {"loaded by name in a restricted program, none beside it", L"search", false,
         HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        {"loaded by name in a restricted program, one beside it", L"search", true, S_OK},
    };
    int nCase = 0;
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        const std::wstring strProgramDir = zeptest::TestTempDir() + FormatString(L"program%d", ++nCase);
        const std::wstring strProgram = strProgramDir + L"\\dll_search_probe.exe";
        ASSERT_TRUE(::CreateDirectoryW(strProgramDir.c_str(), nullptr));
        ASSERT_TRUE(::CopyFileW((zeptest::ExeDir() + L"dll_search_probe.exe").c_str(), strProgram.c_str(), FALSE));
        const std::wstring strBeside = strProgramDir + L"\\Drenlox.dll";
        if (c.bBesideProgram)
        {
            ASSERT_TRUE(::CopyFileW((zeptest::ExeDir() + L"Drenlox.dll").c_str(), strBeside.c_str(), FALSE));
        }

        const std::wstring strExpected =
            FormatString(L"0x%08X|%s", static_cast<unsigned>(c.hr), c.bBesideProgram ? strBeside.c_str() : L"");
        EXPECT_EQ(Lower(strExpected), Lower(RunProbe(strProgram, c.pszMode, strWork)));
    }
}
