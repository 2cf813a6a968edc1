#include "common/connection_point.h"

#include "common/error_macros.h"

#include <olectl.h>

#include <algorithm>
#include <new>

#include "common/com_object.h"

using Microsoft::WRL::ComPtr;

namespace
{
// A snapshot enumerator: each item holds a reference while the enumerator lives, and every item
// handed out carries one more for the caller.
template <class IEnum, class T, const IID* piid>
class CSnapshotEnum final : public IEnum, public CComRefCount<CSnapshotEnum<IEnum, T, piid>>
{
public:
    explicit CSnapshotEnum(std::vector<T> items) : m_items(std::move(items))
    {
        for (T& item : m_items)
            Unknown(item)->AddRef();
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, *piid))
        {
            *ppv = static_cast<IEnum*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return this->InternalAddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return this->InternalRelease(); }

    STDMETHODIMP Next(ULONG cItems, T* pItems, ULONG* pcFetched) override
    {
        if (!pItems || (cItems != 1 && !pcFetched))
            return E_POINTER;
        ULONG cFetched = 0;
        for (; cFetched < cItems && m_nPos < m_items.size(); ++cFetched, ++m_nPos)
        {
            pItems[cFetched] = m_items[m_nPos];
            Unknown(pItems[cFetched])->AddRef();
        }
        if (pcFetched)
            *pcFetched = cFetched;
        return cFetched == cItems ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG cItems) override
    {
        const size_t cLeft = m_items.size() - m_nPos;
        m_nPos += std::min<size_t>(cItems, cLeft);
        return cItems <= cLeft ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        m_nPos = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnum** ppEnum) override
    {
        if (!ppEnum)
            return E_POINTER;
        *ppEnum = nullptr;
        try
        {
            auto* pClone = new CSnapshotEnum(m_items);
            pClone->m_nPos = m_nPos;
            *ppEnum = pClone;
            return S_OK;
        }
        ZEP_CATCH_RETURN()
    }

private:
    ~CSnapshotEnum() override
    {
        for (T& item : m_items)
            Unknown(item)->Release();
    }
    static IUnknown* Unknown(IConnectionPoint* pPoint) noexcept { return pPoint; }
    static IUnknown* Unknown(const CONNECTDATA& data) noexcept { return data.pUnk; }

    std::vector<T> m_items;
    size_t m_nPos = 0;
};

typedef CSnapshotEnum<IEnumConnectionPoints, IConnectionPoint*, &IID_IEnumConnectionPoints> CEnumConnectionPoints;
typedef CSnapshotEnum<IEnumConnections, CONNECTDATA, &IID_IEnumConnections> CEnumConnections;
}  // namespace

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
    CXLock lock(m_cs);
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
    // The sink may release the last reference to the object while it goes: after the lock.
    ComPtr<IUnknown> going;
    CXLock lock(m_cs);
    const auto it = std::find_if(m_sinks.begin(), m_sinks.end(),
                                 [dwCookie](const auto& entry) { return entry.first == dwCookie; });
    if (it == m_sinks.end())
        return CONNECT_E_NOCONNECTION;
    going = std::move(it->second);
    m_sinks.erase(it);
    return S_OK;
}

STDMETHODIMP CConnectionPoint::EnumConnections(IEnumConnections** ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    try
    {
        std::vector<CONNECTDATA> items;
        CXLock lock(m_cs);
        for (const auto& entry : m_sinks)
            items.push_back(CONNECTDATA{entry.second.Get(), entry.first});
        *ppEnum = new CEnumConnections(std::move(items));
        return S_OK;
    }
    ZEP_CATCH_RETURN()
}

std::vector<ComPtr<IDispatch>> CConnectionPoint::DispatchSinks() const
{
    std::vector<ComPtr<IUnknown>> connected;
    {
        CXLock lock(m_cs);
        for (const auto& entry : m_sinks)
            connected.push_back(entry.second);
    }
    std::vector<ComPtr<IDispatch>> sinks;
    for (const auto& sink : connected)
    {
        ComPtr<IDispatch> dispatch;
        if (SUCCEEDED(sink.As(&dispatch)))
            sinks.push_back(dispatch);
    }
    return sinks;
}

STDMETHODIMP CConnectionPointContainer::EnumConnectionPoints(IEnumConnectionPoints** ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    try
    {
        *ppEnum = new CEnumConnectionPoints(std::vector<IConnectionPoint*>(m_points.begin(), m_points.end()));
        return S_OK;
    }
    ZEP_CATCH_RETURN()
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
