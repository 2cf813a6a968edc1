#pragma once
// IDispatch of a dual interface, answered by the type library embedded in the module (resource
// TYPELIB 1) that holds this code, so that the dispatch table and the vtable cannot disagree.
#include <windows.h>
#include <oleauto.h>

// The type information of an interface of this module's embedded type library; loaded once.
HRESULT ZepGetModuleTypeInfo(REFGUID guid, ITypeInfo** ppTypeInfo);
// Forgets the loaded type library (when the module is unloaded).
void ZepReleaseModuleTypeLib() noexcept;

template <class IFace>
class CDispatchImpl : public IFace
{
public:
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override
    {
        if (!pctinfo)
            return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) override
    {
        if (!ppTInfo)
            return E_POINTER;
        *ppTInfo = nullptr;
        if (iTInfo != 0)
            return DISP_E_BADINDEX;
        return ZepGetModuleTypeInfo(__uuidof(IFace), ppTInfo);
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) override
    {
        if (!IsEqualIID(riid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* pTypeInfo = nullptr;
        HRESULT hr = ZepGetModuleTypeInfo(__uuidof(IFace), &pTypeInfo);
        if (FAILED(hr))
            return hr;
        hr = ::DispGetIDsOfNames(pTypeInfo, rgszNames, cNames, rgDispId);
        pTypeInfo->Release();
        return hr;
    }
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override
    {
        if (!IsEqualIID(riid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* pTypeInfo = nullptr;
        HRESULT hr = ZepGetModuleTypeInfo(__uuidof(IFace), &pTypeInfo);
        if (FAILED(hr))
            return hr;
        hr = ::DispInvoke(static_cast<IFace*>(this), pTypeInfo, dispIdMember, wFlags, pDispParams, pVarResult,
                          pExcepInfo, puArgErr);
        pTypeInfo->Release();
        return hr;
    }
};
