// The client's single-instance mutex, against mutexes made the way other clients make them.
#include <gtest/gtest.h>
#include <sddl.h>
#include <windows.h>

#include <string>

#include "common/string_util.h"
#include "common/unique_resource.h"
#include "update/client/zep_mini_application_app.h"

namespace
{
// What a client of another user leaves us: a mutex whose access list grants us nothing.
UniqueHandle CreateForeignMutex(const std::wstring& strName)
{
    PSECURITY_DESCRIPTOR pSd = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;GA;;;WD)", SDDL_REVISION_1, &pSd, nullptr))
        return UniqueHandle();
    UniqueLocalMem sd(pSd);
    SECURITY_ATTRIBUTES sa = {sizeof(sa), pSd, FALSE};
    return UniqueHandle(::CreateMutexW(&sa, FALSE, strName.c_str()));
}
}  // namespace

TEST(SingleInstance, AMutexOfAnotherClientCountsAsHeldEvenWhenItRefusesUs)
{
    enum EHolder
    {
        eNobody,
        eClientOfThisUser,
        eClientOfAnotherUser
    };
    const struct
    {
        const char* pszName;
        EHolder eHolder;
        bool bAcquired;
    } kCases[] = {
        {"nobody holds it", eNobody, true},
        {"another client of this user", eClientOfThisUser, false},
        {"another user's client (access denied)", eClientOfAnotherUser, false},
    };
    int nCase = 0;
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        const std::wstring strName =
            FormatString(L"Local\\QuentaTest_%lu_%lu_%d", ::GetCurrentProcessId(), ::GetTickCount(), ++nCase);
        UniqueHandle holder;
        if (c.eHolder == eClientOfThisUser)
            holder.Reset(::CreateMutexW(nullptr, FALSE, strName.c_str()));
        else if (c.eHolder == eClientOfAnotherUser)
            holder = CreateForeignMutex(strName);
        if (c.eHolder != eNobody)
        {
            ASSERT_TRUE(holder.IsValid());
        }
        if (c.eHolder == eClientOfAnotherUser)
        {
            // The system really refuses: otherwise this case would prove nothing.
            UniqueHandle probe(::CreateMutexW(nullptr, FALSE, strName.c_str()));
            ASSERT_FALSE(probe.IsValid());
            ASSERT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), ::GetLastError());
        }

        UniqueHandle mutex;
        EXPECT_EQ(c.bAcquired, CZepMini_ApplicationApp::AcquireSingleInstance(strName.c_str(), mutex));
        EXPECT_EQ(c.bAcquired, mutex.IsValid()) << "the handle is kept exactly when this client runs";
    }
}
