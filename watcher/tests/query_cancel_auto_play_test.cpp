// The AutoPlay refusal handler, asked the way the shell asks: found in the running object
// table by its class moniker.
#include <gtest/gtest.h>

#include <wrl/client.h>

#include "common/com_init.h"
#include "watcher/custom_query_cancel_auto_play.h"
#include "watcher/testing/pirro_control.h"

using Microsoft::WRL::ComPtr;

namespace
{
class QueryCancelAutoPlay : public ::testing::Test
{
protected:
    HRESULT Ask(const wchar_t* pszPath)
    {
        HRESULT hrAnswer = E_FAIL;
        const HRESULT hr = PirroControl::AskAllowAutoPlay(pszPath, hrAnswer);
        return FAILED(hr) ? hr : hrAnswer;
    }

    CComInitScope m_com;
};

TEST_F(QueryCancelAutoPlay, RefusesTheStoredRootOnceThenAllows)
{
    CTvkLauncher::CCustomQueryCancelAutoPlay handler;
    ASSERT_EQ(S_OK, handler.Register());
    ASSERT_TRUE(handler.IsRegistered());

    EXPECT_EQ(S_OK, Ask(L"E:\\"));  // nothing stored yet
    handler.SetDriveRoot(4);
    EXPECT_EQ(L"E:\\", handler.GetDriveRoot());
    EXPECT_EQ(S_OK, Ask(L"e:\\"));   // the comparison is exact
    EXPECT_EQ(S_OK, Ask(L"E:"));
    EXPECT_EQ(S_FALSE, Ask(L"E:\\"));
    EXPECT_TRUE(handler.GetDriveRoot().empty());
    EXPECT_EQ(S_OK, Ask(L"E:\\"));
}

TEST_F(QueryCancelAutoPlay, OnlyTheLatestArrivalIsRefused)
{
    CTvkLauncher::CCustomQueryCancelAutoPlay handler;
    ASSERT_EQ(S_OK, handler.Register());
    handler.SetDriveRoot(4);
    handler.SetDriveRoot(5);
    EXPECT_EQ(S_OK, Ask(L"E:\\"));
    EXPECT_EQ(S_FALSE, Ask(L"F:\\"));
}

TEST_F(QueryCancelAutoPlay, DestructionRevokesTheRegistration)
{
    {
        CTvkLauncher::CCustomQueryCancelAutoPlay handler;
        ASSERT_EQ(S_OK, handler.Register());
        ASSERT_EQ(S_OK, Ask(L"E:\\"));
    }
    EXPECT_EQ(MK_E_UNAVAILABLE, Ask(L"E:\\"));
}

TEST_F(QueryCancelAutoPlay, FailedRegistrationHoldsNothing)
{
    class CNoClass : public CTvkLauncher::CCustomQueryCancelAutoPlay
    {
    public:
        HRESULT GetClassID(CLSID*) override { return E_UNEXPECTED; }
    };
    {
        CNoClass handler;
        EXPECT_EQ(E_UNEXPECTED, handler.Register());
        EXPECT_FALSE(handler.IsRegistered());
        EXPECT_EQ(MK_E_UNAVAILABLE, Ask(L"E:\\"));
    }
    // A handler registered afterwards is unaffected by the failed one's destruction.
    CTvkLauncher::CCustomQueryCancelAutoPlay handler;
    ASSERT_EQ(S_OK, handler.Register());
    handler.SetDriveRoot(4);
    EXPECT_EQ(S_FALSE, Ask(L"E:\\"));
}

TEST_F(QueryCancelAutoPlay, ComObjectInterfacesAndLifetimeBeyondItsOwner)
{
    ComPtr<IQueryCancelAutoPlay> pQuery;
    {
        CTvkLauncher::CCustomQueryCancelAutoPlay handler;
        ASSERT_EQ(S_OK, handler.Register());
        ComPtr<IRunningObjectTable> pTable;
        ASSERT_EQ(S_OK, ::GetRunningObjectTable(0, &pTable));
        ComPtr<IMoniker> pMoniker;
        ASSERT_EQ(S_OK, ::CreateClassMoniker(CLSID_PirroQueryCancelAutoPlay, &pMoniker));
        ComPtr<IUnknown> pUnknown;
        ASSERT_EQ(S_OK, pTable->GetObject(pMoniker.Get(), &pUnknown));
        ASSERT_EQ(S_OK, pUnknown.As(&pQuery));

        EXPECT_EQ(E_FAIL, pQuery->QueryInterface(IID_IUnknown, nullptr));
        ComPtr<IDispatch> pDispatch;
        EXPECT_EQ(E_NOINTERFACE, pQuery.As(&pDispatch));
        EXPECT_EQ(nullptr, pDispatch.Get());

        handler.SetDriveRoot(2);
        EXPECT_EQ(S_FALSE, pQuery->AllowAutoPlay(L"C:\\", 0, L"label", 1234));
    }
    // The shell may still hold the object after the watcher's handler is gone: it then
    // allows AutoPlay instead of calling into freed memory.
    EXPECT_EQ(S_OK, pQuery->AllowAutoPlay(L"C:\\", 0, L"", 0));
}
}  // namespace
