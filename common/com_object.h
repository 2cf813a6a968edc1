#pragma once
// The one COM object pattern: QITAB-driven QueryInterface, interlocked count, private
// destruction through Release, module lock for DllCanUnloadNow, a table-driven class factory,
// and aggregation through a controlling unknown.
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

// An object that can be aggregated. Its interfaces' IUnknown methods go to the controlling
// unknown: the outer object when aggregated, else the object's own inner unknown. The derived
// class provides `HRESULT InternalQueryInterface(REFIID, void**)` (a QISearch over its table,
// IUnknown excluded: the inner unknown answers that itself) and may provide
// `HRESULT FinalConstruct()` for the work that can fail.
template <class T>
class CComAggregatable : public CComRefCount<T>
{
public:
    IUnknown* InnerUnknown() noexcept { return &m_inner; }
    HRESULT FinalConstruct() { return S_OK; }

protected:
    explicit CComAggregatable(IUnknown* pUnkOuter) noexcept
        : m_inner(static_cast<T*>(this)), m_pUnkControlling(pUnkOuter ? pUnkOuter : &m_inner)
    {
    }
    IUnknown* ControllingUnknown() const noexcept { return m_pUnkControlling; }

private:
    class CInner : public IUnknown
    {
    public:
        explicit CInner(T* pOwner) noexcept : m_pOwner(pOwner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
        {
            if (!ppv)
                return E_POINTER;
            if (IsEqualIID(riid, IID_IUnknown))
            {
                *ppv = static_cast<IUnknown*>(this);
                AddRef();
                return S_OK;
            }
            return m_pOwner->InternalQueryInterface(riid, ppv);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return m_pOwner->InternalAddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return m_pOwner->InternalRelease(); }

    private:
        T* m_pOwner;
    };

    CInner m_inner;
    IUnknown* m_pUnkControlling;
};

// The IUnknown of every interface of a CComAggregatable object.
#define ZEP_IMPLEMENT_AGGREGATABLE_IUNKNOWN()                                                   \
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override                               \
    {                                                                                           \
        return ControllingUnknown()->QueryInterface(riid, ppv);                                 \
    }                                                                                           \
    STDMETHODIMP_(ULONG) AddRef() override { return ControllingUnknown()->AddRef(); }           \
    STDMETHODIMP_(ULONG) Release() override { return ControllingUnknown()->Release(); }         \
    template <class>                                                                            \
    friend class CComAggregatable

// The creator of a class-table entry for a CComAggregatable class T constructed from its
// outer unknown. An outer object may ask only for IUnknown, as the aggregation rules require.
template <class T>
HRESULT ZepCreateAggregatable(IUnknown* pUnkOuter, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter && !IsEqualIID(riid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    T* pObject = new (std::nothrow) T(pUnkOuter);
    if (!pObject)
        return E_OUTOFMEMORY;
    IUnknown* pInner = pObject->InnerUnknown();
    HRESULT hr = pObject->FinalConstruct();
    if (SUCCEEDED(hr))
        hr = pInner->QueryInterface(riid, ppv);
    pInner->Release();
    return hr;
}

typedef HRESULT (*PFN_ZEP_CREATE_INSTANCE)(IUnknown* pUnkOuter, REFIID riid, void** ppv);

struct ZEP_CLASS_ENTRY
{
    const CLSID* pclsid;
    PFN_ZEP_CREATE_INSTANCE pfnCreate;
};

// DllGetClassObject over a table of classes.
HRESULT ZepGetClassObject(const ZEP_CLASS_ENTRY* pEntries, size_t cEntries, REFCLSID rclsid, REFIID riid,
                          void** ppv);
