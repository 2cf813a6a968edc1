#include "common/connection_point.h"

#include <olectl.h>

#include <algorithm>
#include <new>

using Microsoft::WRL::ComPtr;

CConnectionPoint::CConnectionPoint(IConnectionPointContainer* pContainer, REFIID iidEvents) noexcept
    : m_pContainer(pContainer), m_iid(iidEvents), m_dwNextCookie(1)
{
}

STDMETHODIMP CConnectionPoint::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint))
    {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CConnectionPoint::AddRef() { return m_pContainer->AddRef(); }
STDMETHODIMP_(ULONG) CConnectionPoint::Release() { return m_pContainer->Release(); }

STDMETHODIMP CConnectionPoint::GetConnectionInterface(IID* pIID)
{
    if (!pIID)
        return E_POINTER;
    *pIID = m_iid;
    return S_OK;
}

STDMETHODIMP CConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC)
{
    if (!ppCPC)
        return E_POINTER;
    *ppCPC = m_pContainer;
    m_pContainer->AddRef();
    return S_OK;
}

STDMETHODIMP CConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie)
{
    if (!pdwCookie)
        return E_POINTER;
    *pdwCookie = 0;
    if (!pUnkSink)
        return E_POINTER;
    ComPtr<IUnknown> sink;
    if (FAILED(pUnkSink->QueryInterface(m_iid, reinterpret_cast<void**>(sink.GetAddressOf()))) || !sink)
        return CONNECT_E_CANNOTCONNECT;
    try
    {
        m_sinks.emplace_back(m_dwNextCookie, sink);
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
    *pdwCookie = m_dwNextCookie++;
    return S_OK;
}

STDMETHODIMP CConnectionPoint::Unadvise(DWORD dwCookie)
{
    const auto it = std::find_if(m_sinks.begin(), m_sinks.end(),
                                 [dwCookie](const auto& entry) { return entry.first == dwCookie; });
    if (it == m_sinks.end())
        return CONNECT_E_NOCONNECTION;
    // The sink may release the last reference to the object while it goes.
    ComPtr<IUnknown> going = std::move(it->second);
    m_sinks.erase(it);
    return S_OK;
}

STDMETHODIMP CConnectionPoint::EnumConnections(IEnumConnections** ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    return E_NOTIMPL;
}

std::vector<ComPtr<IDispatch>> CConnectionPoint::DispatchSinks() const
{
    std::vector<ComPtr<IDispatch>> sinks;
    for (const auto& entry : m_sinks)
    {
        ComPtr<IDispatch> dispatch;
        if (SUCCEEDED(entry.second.As(&dispatch)))
            sinks.push_back(dispatch);
    }
    return sinks;
}

STDMETHODIMP CConnectionPointContainer::EnumConnectionPoints(IEnumConnectionPoints** ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CConnectionPointContainer::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP)
{
    if (!ppCP)
        return E_POINTER;
    *ppCP = nullptr;
    for (CConnectionPoint* pPoint : m_points)
    {
        if (IsEqualIID(pPoint->EventInterface(), riid))
        {
            *ppCP = pPoint;
            pPoint->AddRef();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}
