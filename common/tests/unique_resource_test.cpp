#include <gtest/gtest.h>

#include "common/scoped_bstr.h"
#include "common/unique_resource.h"

TEST(UniqueResource, ClosesOnceAndMovesOwnership)
{
    UniqueHandle a(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(a.IsValid());
    const HANDLE raw = a.Get();

    UniqueHandle b(std::move(a));
    EXPECT_FALSE(a.IsValid());
    EXPECT_EQ(raw, b.Get());

    b.Reset();
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(raw, &flags)) << "handle must be closed by Reset";
}

TEST(UniqueResource, InvalidHandleValueIsNotOwned)
{
    UniqueHandle h(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(h.IsValid());
}

TEST(UniqueResource, ResetKeepsTheThreadsLastError)
{
    UniqueHandle h(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ::SetLastError(ERROR_ACCESS_DENIED);
    h.Reset();
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), ::GetLastError());
}

TEST(ScopedBstr, ReceiveFreesPreviousAndKeepsEmbeddedNul)
{
    CScopedBstr s(std::wstring(L"a\0b", 3));
    EXPECT_EQ(3u, s.Length());
    EXPECT_EQ(std::wstring(L"a\0b", 3), s.ToString());
    BSTR* slot = s.Receive();
    EXPECT_EQ(nullptr, *slot);
    *slot = ::SysAllocString(L"x");
    EXPECT_EQ(L"x", s.ToString());
}
