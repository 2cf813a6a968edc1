#pragma once
// The one COM object pattern: QITAB-driven QueryInterface, interlocked count, private
// destruction through Release, module lock for DllCanUnloadNow, a table-driven class factory.
#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>
#include <new>

namespace ComModule
{
void Lock() noexcept;
void Unlock() noexcept;
LONG LockCount() noexcept;
}  // namespace ComModule

// Derive as `class CFoo : public IFoo, public CComRefCount<CFoo>` and implement
// QueryInterface with QISearch and a QITAB.
template <class T>
class CComRefCount
{
protected:
    CComRefCount() noexcept { ComModule::Lock(); }
    virtual ~CComRefCount() { ComModule::Unlock(); }
    ULONG InternalAddRef() noexcept { return static_cast<ULONG>(::InterlockedIncrement(&m_cRef)); }
    ULONG InternalRelease() noexcept
    {
        const LONG c = ::InterlockedDecrement(&m_cRef);
        if (c == 0)
            delete this;
        return static_cast<ULONG>(c);
    }

private:
    LONG m_cRef = 1;
};

#define ZEP_IMPLEMENT_IUNKNOWN_REFCOUNT()                              \
    STDMETHODIMP_(ULONG) AddRef() override { return InternalAddRef(); } \
    STDMETHODIMP_(ULONG) Release() override { return InternalRelease(); }

typedef HRESULT (*PFN_ZEP_CREATE_INSTANCE)(IUnknown* pUnkOuter, REFIID riid, void** ppv);

struct ZEP_CLASS_ENTRY
{
    const CLSID* pclsid;
    PFN_ZEP_CREATE_INSTANCE pfnCreate;
};

// DllGetClassObject over a table of classes.
HRESULT ZepGetClassObject(const ZEP_CLASS_ENTRY* pEntries, size_t cEntries, REFCLSID rclsid, REFIID riid,
                          void** ppv);
