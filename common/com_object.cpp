#include "common/com_object.h"

namespace
{
LONG volatile g_cModuleLocks = 0;

class CClassFactory : public IClassFactory, public CComRefCount<CClassFactory>
{
public:
    explicit CClassFactory(PFN_ZEP_CREATE_INSTANCE pfnCreate) : m_pfnCreate(pfnCreate) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        static const QITAB qit[] = {QITABENT(CClassFactory, IClassFactory), {nullptr, 0}};
        return QISearch(this, qit, riid, ppv);
    }
    ZEP_IMPLEMENT_IUNKNOWN_REFCOUNT()

    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        try
        {
            return m_pfnCreate(pUnkOuter, riid, ppv);
        }
        catch (const std::bad_alloc&)
        {
            return E_OUTOFMEMORY;
        }
        catch (...)
        {
            return E_UNEXPECTED;
        }
    }
    STDMETHODIMP LockServer(BOOL fLock) override
    {
        if (fLock)
            ComModule::Lock();
        else
            ComModule::Unlock();
        return S_OK;
    }

private:
    PFN_ZEP_CREATE_INSTANCE m_pfnCreate;
};
}  // namespace

namespace ComModule
{
void Lock() noexcept { ::InterlockedIncrement(&g_cModuleLocks); }
void Unlock() noexcept { ::InterlockedDecrement(&g_cModuleLocks); }
LONG LockCount() noexcept { return g_cModuleLocks; }
}  // namespace ComModule

HRESULT ZepGetClassObject(const ZEP_CLASS_ENTRY* pEntries, size_t cEntries, REFCLSID rclsid, REFIID riid,
                          void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (size_t i = 0; i < cEntries; ++i)
    {
        if (IsEqualCLSID(*pEntries[i].pclsid, rclsid))
        {
            CClassFactory* pFactory = new (std::nothrow) CClassFactory(pEntries[i].pfnCreate);
            if (!pFactory)
                return E_OUTOFMEMORY;
            const HRESULT hr = pFactory->QueryInterface(riid, ppv);
            pFactory->Release();
            return hr;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}
