#include <gtest/gtest.h>

#include "common/testing/zeptest.h"
#include "update/client/firmware_library.h"

namespace
{
std::wstring SystemFolder()
{
    wchar_t szFolder[MAX_PATH] = {};
    ::GetSystemDirectoryW(szFolder, MAX_PATH);
    return szFolder;
}

TEST(FirmwareLibrary, BindingFailuresLeaveItUnboundAndEveryCallAnswersEHandle)
{
    struct
    {
        const char* pszName;
        std::wstring strLibrary;
        HRESULT hrExpected;
    } kCases[] = {
        {"missing library", zeptest::ExeDir() + L"NoSuchDrenlox.dll", HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        {"library without the entry points", SystemFolder() + L"\\kernel32.dll", E_FAIL},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        CFirmwareLibrary library;
        EXPECT_EQ(c.hrExpected, library.Bind(c.strLibrary.c_str()));
        EXPECT_FALSE(library.IsBound());
        ZEP_DEVICE_INFO info;
        info.dwWord0 = 7;
        EXPECT_EQ(E_HANDLE, library.QueryDevice(info));
        EXPECT_EQ(0u, info.dwWord0) << "the record is cleared before every query";
        EXPECT_EQ(E_HANDLE, library.CopyFirmware(info, L"x"));
        EXPECT_EQ(E_HANDLE, library.SendUpdateCommand(info));
        int nOrder = 5;
        EXPECT_EQ(E_HANDLE, library.CompareVersions(L"1", L"2", nOrder));
        library.DeleteFirmware(info);
    }
}

TEST(FirmwareLibrary, SimulatedPlayerIsBoundByNameAndComparesVersions)
{
    CFirmwareLibrary library;
    ASSERT_EQ(S_OK, library.Bind((zeptest::ExeDir() + L"Drenlox.dll").c_str()));
    const struct
    {
        const wchar_t* pszFirst;
        const wchar_t* pszSecond;
        HRESULT hr;
        int nOrder;
    } kCases[] = {
        {L"1.0", L"1.0.0", S_OK, 0},  {L"1.2", L"1.10", S_OK, -1}, {L"2", L"1.9.9", S_OK, 1},
        {L"1.x", L"1.0", E_INVALIDARG, 0}, {nullptr, L"1.0", E_INVALIDARG, 0},
    };
    for (const auto& c : kCases)
    {
        int nOrder = 9;
        EXPECT_EQ(c.hr, library.CompareVersions(c.pszFirst, c.pszSecond, nOrder)) << (c.pszFirst ? c.pszFirst : L"null");
        if (SUCCEEDED(c.hr))
        {
            EXPECT_EQ(c.nOrder, nOrder) << c.pszFirst << L" " << c.pszSecond;
        }
    }
    library.Unbind();
    EXPECT_FALSE(library.IsBound());
}
}  // namespace
