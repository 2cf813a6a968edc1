#include "watcher/query_cancel_auto_play.h"

#include <new>

CQueryCancelAutoPlay::~CQueryCancelAutoPlay()
{
    if (m_pRunningObjectTable)
    {
        if (m_dwRegister != 0)
            m_pRunningObjectTable->Revoke(m_dwRegister);
        m_dwRegister = 0;
        m_pRunningObjectTable.Reset();
    }
    if (m_pImp)
    {
        m_pImp->Detach();
        m_pImp->Release();
        m_pImp = nullptr;
    }
    m_pMoniker.Reset();
}

HRESULT CQueryCancelAutoPlay::Register()
{
    if (m_dwRegister != 0)
        return S_FALSE;
    CLSID clsid = CLSID_NULL;
    HRESULT hr = GetClassID(&clsid);
    if (FAILED(hr))
        return hr;

    Microsoft::WRL::ComPtr<IMoniker> pMoniker;
    hr = ::CreateClassMoniker(clsid, &pMoniker);
    if (FAILED(hr))
        return hr;
    Microsoft::WRL::ComPtr<IRunningObjectTable> pTable;
    hr = ::GetRunningObjectTable(0, &pTable);
    if (FAILED(hr))
        return hr;
    CQueryCancelAutoPlayImp* pImp = new (std::nothrow) CQueryCancelAutoPlayImp(this);
    if (!pImp)
        return E_OUTOFMEMORY;

    DWORD dwRegister = 0;
    hr = pTable->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, pImp, pMoniker.Get(), &dwRegister);
    if (FAILED(hr))
    {
        pImp->Detach();
        pImp->Release();
        return hr;
    }
    m_pRunningObjectTable = pTable;
    m_pMoniker = pMoniker;
    m_pImp = pImp;
    m_dwRegister = dwRegister;
    return S_OK;
}

STDMETHODIMP CQueryCancelAutoPlay::CQueryCancelAutoPlayImp::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_FAIL;
    if (riid == IID_IUnknown || riid == IID_IQueryCancelAutoPlay)
    {
        *ppv = static_cast<IQueryCancelAutoPlay*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CQueryCancelAutoPlay::CQueryCancelAutoPlayImp::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CQueryCancelAutoPlay::CQueryCancelAutoPlayImp::Release()
{
    const LONG cRef = ::InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return static_cast<ULONG>(cRef);
}

STDMETHODIMP CQueryCancelAutoPlay::CQueryCancelAutoPlayImp::AllowAutoPlay(LPCWSTR pszPath, DWORD dwContentType,
                                                                         LPCWSTR pszLabel, DWORD dwSerialNumber)
{
    if (!m_pOwner)
        return S_OK;
    try
    {
        return m_pOwner->AllowAutoPlay(pszPath, dwContentType, pszLabel, dwSerialNumber);
    }
    catch (...)
    {
        return S_OK;
    }
}
