#pragma once
// An AutoPlay refusal handler registered in the running object table under a class moniker.
// The shell asks every registered handler before it shows AutoPlay for a drive; derived
// classes decide the answer.
#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>
#include <wrl/client.h>

class CQueryCancelAutoPlay
{
public:
    class CQueryCancelAutoPlayImp;

    // Revokes the registration and releases what it holds.
    virtual ~CQueryCancelAutoPlay();
    virtual HRESULT GetClassID(CLSID* pClassId) = 0;
    virtual HRESULT AllowAutoPlay(LPCWSTR pszPath, DWORD dwContentType, LPCWSTR pszLabel, DWORD dwSerialNumber) = 0;

    // Registers a COM object forwarding to this one; run once, right after construction.
    // A failure leaves the object unregistered, with nothing held.
    HRESULT Register();
    bool IsRegistered() const noexcept { return m_dwRegister != 0; }

protected:
    CQueryCancelAutoPlay() = default;
    CQueryCancelAutoPlay(const CQueryCancelAutoPlay&) = delete;
    CQueryCancelAutoPlay& operator=(const CQueryCancelAutoPlay&) = delete;

private:
    Microsoft::WRL::ComPtr<IRunningObjectTable> m_pRunningObjectTable;
    Microsoft::WRL::ComPtr<IMoniker> m_pMoniker;
    CQueryCancelAutoPlayImp* m_pImp = nullptr;
    DWORD m_dwRegister = 0;
};

// The COM face of the handler. Its owner may go away while the shell or a proxy still holds
// a reference: it is then detached and allows AutoPlay.
class CQueryCancelAutoPlay::CQueryCancelAutoPlayImp : public IQueryCancelAutoPlay
{
public:
    explicit CQueryCancelAutoPlayImp(CQueryCancelAutoPlay* pOwner) noexcept : m_pOwner(pOwner) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP AllowAutoPlay(LPCWSTR pszPath, DWORD dwContentType, LPCWSTR pszLabel, DWORD dwSerialNumber) override;

    void Detach() noexcept { m_pOwner = nullptr; }

private:
    virtual ~CQueryCancelAutoPlayImp() = default;

    LONG m_cRef = 1;
    CQueryCancelAutoPlay* m_pOwner;
};
