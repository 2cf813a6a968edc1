#include <gtest/gtest.h>

#include "launcher/tolvik_app.h"

TEST(TolvikApp, CommandLineTailIsEverythingAfterTheProgramPath)
{
    struct Case
    {
        const wchar_t* pszCommandLine;
        const wchar_t* pszTail;
    } cases[] = {
        {L"\"C:\\Program Files\\Velomar\\Tolvik\\Tolvik.exe\" F:", L"F:"},
        {L"\"C:\\Program Files\\Velomar\\Tolvik\\Tolvik.exe\"", L""},
        {L"C:\\Tolvik\\Tolvik.exe   F:\\ ", L"F:\\ "},
        {L"Tolvik.exe \"F:\" /x", L"\"F:\" /x"},  // never interpreted
        {L"\"C:\\Tolvik\\Tolvik.exe\"\tG:", L"G:"},
        {L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.pszTail, CTolvikApp::CommandLineTail(c.pszCommandLine)) << c.pszCommandLine;
    EXPECT_EQ(L"", CTolvikApp::CommandLineTail(nullptr));
}
