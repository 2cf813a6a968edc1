#pragma once
#include <utility>

namespace opLogSys
{
namespace Common
{
// Owns one reference of a log interface (anything with AddRef and Release).
template <class T>
class CRefPtr
{
public:
    CRefPtr() noexcept = default;
    // Takes over a reference the caller already owns (what the Create/Get operations return).
    static CRefPtr Attach(T* p) noexcept
    {
        CRefPtr ptr;
        ptr.m_p = p;
        return ptr;
    }
    // Adds a reference of its own.
    explicit CRefPtr(T* p) noexcept : m_p(p)
    {
        if (m_p)
            m_p->AddRef();
    }
    CRefPtr(const CRefPtr& other) noexcept : CRefPtr(other.m_p) {}
    CRefPtr(CRefPtr&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
    CRefPtr& operator=(CRefPtr other) noexcept
    {
        std::swap(m_p, other.m_p);
        return *this;
    }
    ~CRefPtr() { Reset(); }

    void Reset() noexcept
    {
        if (m_p)
        {
            T* p = m_p;
            m_p = nullptr;
            p->Release();
        }
    }
    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    // Hands the reference to the caller.
    T* Detach() noexcept
    {
        T* p = m_p;
        m_p = nullptr;
        return p;
    }

private:
    T* m_p = nullptr;
};
}  // namespace Common
}  // namespace opLogSys
