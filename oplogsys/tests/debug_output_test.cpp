#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>
#include "oplogsys/oplogsys.h"

using namespace opLogSys;

namespace
{
// Catches what the process hands to the debugger output. OutputDebugString raises a printing
// exception; a vectored handler sees it first and lets it go on.
class CDebugOutputCapture
{
public:
    CDebugOutputCapture()
    {
        ::InitializeCriticalSection(&s_cs);
        s_pPieces = &m_pieces;
        m_pHandler = ::AddVectoredExceptionHandler(1, &CDebugOutputCapture::Handler);
    }
    ~CDebugOutputCapture()
    {
        ::RemoveVectoredExceptionHandler(m_pHandler);
        s_pPieces = nullptr;
        ::DeleteCriticalSection(&s_cs);
    }
    // (thread id, text) in the order the debugger output received them.
    const std::vector<std::pair<DWORD, std::string>>& Pieces() const { return m_pieces; }

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* pInfo)
    {
        const EXCEPTION_RECORD* pRecord = pInfo->ExceptionRecord;
        if (pRecord->ExceptionCode == DBG_PRINTEXCEPTION_C && pRecord->NumberParameters >= 2 && s_pPieces)
        {
            ::EnterCriticalSection(&s_cs);
            s_pPieces->emplace_back(::GetCurrentThreadId(),
                                    reinterpret_cast<const char*>(pRecord->ExceptionInformation[1]));
            ::LeaveCriticalSection(&s_cs);
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }

    static CRITICAL_SECTION s_cs;
    static std::vector<std::pair<DWORD, std::string>>* s_pPieces;
    std::vector<std::pair<DWORD, std::string>> m_pieces;
    void* m_pHandler = nullptr;
};
CRITICAL_SECTION CDebugOutputCapture::s_cs;
std::vector<std::pair<DWORD, std::string>>* CDebugOutputCapture::s_pPieces = nullptr;
}  // namespace

// Each line reaches the debugger in three pieces (header, text, line end); the pieces of lines
// that threads write at the same time must not mix.
TEST(DebugOutputTest, LinesOfConcurrentThreadsStayWhole)
{
    Ods::COutputLogSystemFactory* pFactory = new Ods::COutputLogSystemFactory;
    ILogIO* pIO = pFactory->CreateIO(L"Ods");
    ASSERT_NE(nullptr, pIO);
    const int nLines = 400;
    {
        CDebugOutputCapture capture;
        auto writer = [pIO](const wchar_t* pszHeader) {
            for (int i = 0; i < nLines; ++i)
                WriteHeadedLine(*pIO, pszHeader, L"text");
        };
        std::thread first(writer, L"[first]");
        std::thread second(writer, L"[second]");
        first.join();
        second.join();

        const auto& pieces = capture.Pieces();
        ASSERT_EQ(static_cast<size_t>(2 * nLines * 3), pieces.size());
        for (size_t i = 0; i < pieces.size(); i += 3)
        {
            SCOPED_TRACE("line " + std::to_string(i / 3));
            EXPECT_EQ('[', pieces[i].second.front()) << pieces[i].second;
            EXPECT_EQ("text", pieces[i + 1].second);
            EXPECT_EQ("\r\n", pieces[i + 2].second);
            EXPECT_EQ(pieces[i].first, pieces[i + 1].first);
            EXPECT_EQ(pieces[i].first, pieces[i + 2].first);
            if (HasFailure())
                break;
        }
    }
    pIO->Release();
    pFactory->Release();
}
