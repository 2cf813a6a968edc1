#include <gtest/gtest.h>

#include <memory>

#include "common/gdiplus_session.h"

namespace
{
// GDI+ runs for the whole test program, as it does for the launcher's lifetime.
class CGdiplusEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { m_pSession.reset(new CGdiplusSession()); }
    void TearDown() override { m_pSession.reset(); }

private:
    std::unique_ptr<CGdiplusSession> m_pSession;
};

::testing::Environment* const g_pGdiplusEnvironment =
    ::testing::AddGlobalTestEnvironment(new CGdiplusEnvironment());
}  // namespace
