// Which notice addresses the confirmation window hands to the shell.
#include <gtest/gtest.h>

#include "update/gui/web_address.h"

namespace
{
TEST(WebAddress, OnlyHttpAndHttpsWithAHostAreOpened)
{
    const struct
    {
        const wchar_t* pszUrl;
        bool bWeb;
    } cases[] = {
        {L"http://updates.example.com/notice.html", true},
        {L"https://updates.example.com/notice.html?lang=en#top", true},
        {L"HTTPS://UPDATES.EXAMPLE.COM/", true},
        {L"http://127.0.0.1:8080/n", true},
        // What the shell would run or open locally.
        {L"file:///C:/windows/system32/notepad.exe", false},
        {L"file://server/share/setup.exe", false},
        {L"\\\\server\\share\\setup.exe", false},
        {L"C:\\windows\\system32\\notepad.exe", false},
        {L"notepad.exe", false},
        {L"javascript:alert(1)", false},
        {L"ms-settings:", false},
        {L"ftp://updates.example.com/notice.html", false},
        {L"mailto:support@example.com", false},
        {L"http://", false},
        {L"http:notice.html", false},
        {L"", false},
        {nullptr, false},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(c.bWeb, IsWebAddress(c.pszUrl)) << (c.pszUrl ? c.pszUrl : L"(null)");
    }
}
}  // namespace
