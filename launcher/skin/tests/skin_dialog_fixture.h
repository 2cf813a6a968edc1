#pragma once
// A hidden, modeless main-window-like dialog for the control tests.
#include <gtest/gtest.h>

#include <memory>

#include "launcher/skin/tests/skin_test_dialog.h"
#include "launcher/skin/tests/skin_test_support.h"
#include "launcher/skin/tests/skin_test_ids.h"

class SkinDialogFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pDialog.reset(new CSkinTestDialog(IDD_SKIN_MAIN));
        m_hwnd = m_pDialog->Create(nullptr);
        ASSERT_NE(nullptr, m_hwnd);
    }
    void TearDown() override
    {
        if (::GetCapture())
            ::ReleaseCapture();
        if (m_hwnd && ::IsWindow(m_hwnd))
            ::DestroyWindow(m_hwnd);
        PumpMessages(0);
        m_pDialog.reset();
    }

    static LPARAM Point(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }
    // Number of notifications of one kind (and optionally one wParam).
    size_t CountOf(UINT uMsg, WPARAM wParam = static_cast<WPARAM>(-1)) const
    {
        size_t n = 0;
        for (const SkinNotification& note : m_pDialog->m_vecNotifications)
            if (note.uMsg == uMsg && (wParam == static_cast<WPARAM>(-1) || note.wParam == wParam))
                ++n;
        return n;
    }

    std::unique_ptr<CSkinTestDialog> m_pDialog;
    HWND m_hwnd = nullptr;
};
