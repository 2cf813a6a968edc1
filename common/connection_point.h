#pragma once
// Outgoing interfaces of a COM object: one connection point per event interface and the
// container that finds them. The object derives from CConnectionPointContainer (its IUnknown
// methods come from the object) and owns its CConnectionPoint members.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <utility>
#include <vector>

#include "common/critical_section.h"

class CConnectionPoint final : public IConnectionPoint
{
public:
    // pContainer: the owning object's container interface; its reference count stands for the
    // connection point's.
    CConnectionPoint(IConnectionPointContainer* pContainer, REFIID iidEvents) noexcept;
    CConnectionPoint(const CConnectionPoint&) = delete;
    CConnectionPoint& operator=(const CConnectionPoint&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetConnectionInterface(IID* pIID) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    STDMETHODIMP Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
    STDMETHODIMP Unadvise(DWORD dwCookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** ppEnum) override;

    const IID& EventInterface() const noexcept { return m_iid; }
    // The sinks connected now, as their dispatch interfaces, in the order they connected. A
    // copy, so that a sink may disconnect while it is being called. Safe from any thread (an
    // object may raise its events on a worker thread while its clients connect and disconnect).
    std::vector<Microsoft::WRL::ComPtr<IDispatch>> DispatchSinks() const;
    size_t SinkCount() const noexcept
    {
        CXLock lock(m_cs);
        return m_sinks.size();
    }

private:
    // Guards the sink list and the next cookie; never held while a sink is called.
    mutable CXCriticalSection m_cs;
    IConnectionPointContainer* m_pContainer;
    IID m_iid;
    DWORD m_dwNextCookie;
    std::vector<std::pair<DWORD, Microsoft::WRL::ComPtr<IUnknown>>> m_sinks;
};

class CConnectionPointContainer : public IConnectionPointContainer
{
public:
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

protected:
    CConnectionPointContainer() = default;
    ~CConnectionPointContainer() = default;
    // Called from the derived object's constructor; the point outlives nothing of the object.
    void AddConnectionPoint(CConnectionPoint* pPoint) { m_points.push_back(pPoint); }

private:
    std::vector<CConnectionPoint*> m_points;
};
