#pragma once
#include <utility>

// Runs a callable when the scope ends unless dismissed.
template <class F>
class CScopeExit
{
public:
    explicit CScopeExit(F&& fn) : m_fn(std::move(fn)) {}
    CScopeExit(CScopeExit&& other) noexcept : m_fn(std::move(other.m_fn)), m_bActive(other.m_bActive)
    {
        other.m_bActive = false;
    }
    CScopeExit(const CScopeExit&) = delete;
    CScopeExit& operator=(const CScopeExit&) = delete;
    ~CScopeExit()
    {
        if (m_bActive)
            m_fn();
    }
    void Dismiss() noexcept { m_bActive = false; }

private:
    F m_fn;
    bool m_bActive = true;
};

template <class F>
CScopeExit<F> MakeScopeExit(F&& fn)
{
    return CScopeExit<F>(std::forward<F>(fn));
}
