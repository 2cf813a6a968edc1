#pragma once
// Move-only owners for the handle types of the platform. Nothing else in the tree closes
// a handle by hand.
#include <windows.h>
#include <wininet.h>
#include <wincrypt.h>
#include <bcrypt.h>
#include <msi.h>
#include <objbase.h>
#include <utility>

template <class Traits>
class UniqueResource
{
public:
    typedef typename Traits::Type Type;

    UniqueResource() noexcept : m_value(Traits::Invalid()) {}
    explicit UniqueResource(Type value) noexcept : m_value(value) {}
    UniqueResource(UniqueResource&& other) noexcept : m_value(other.Detach()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { Reset(); }

    bool IsValid() const noexcept { return Traits::IsValid(m_value); }
    explicit operator bool() const noexcept { return IsValid(); }
    Type Get() const noexcept { return m_value; }

    // Closes the current value (keeping the thread's last error) and takes the new one.
    void Reset(Type value = Traits::Invalid()) noexcept
    {
        if (m_value == value)
            return;
        if (Traits::IsValid(m_value))
        {
            const DWORD dwLastError = ::GetLastError();
            Traits::Close(m_value);
            ::SetLastError(dwLastError);
        }
        m_value = value;
    }
    Type Detach() noexcept
    {
        Type value = m_value;
        m_value = Traits::Invalid();
        return value;
    }
    // For out-parameters: closes what is held and returns the slot to fill.
    Type* Receive() noexcept
    {
        Reset();
        return &m_value;
    }

private:
    Type m_value;
};

template <class T, T InvalidValue, class CloseFn, CloseFn Fn>
struct SimpleHandleTraits
{
    typedef T Type;
    static T Invalid() noexcept { return InvalidValue; }
    static bool IsValid(T value) noexcept { return value != InvalidValue; }
    static void Close(T value) noexcept { Fn(value); }
};

// Kernel handles: both NULL and INVALID_HANDLE_VALUE mean "none".
struct KernelHandleTraits
{
    typedef HANDLE Type;
    static HANDLE Invalid() noexcept { return nullptr; }
    static bool IsValid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
typedef UniqueResource<KernelHandleTraits> UniqueHandle;

struct FindHandleTraits
{
    typedef HANDLE Type;
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::FindClose(h); }
};
typedef UniqueResource<FindHandleTraits> UniqueFindHandle;

struct HKeyTraits
{
    typedef HKEY Type;
    static HKEY Invalid() noexcept { return nullptr; }
    static bool IsValid(HKEY h) noexcept { return h != nullptr; }
    static void Close(HKEY h) noexcept { ::RegCloseKey(h); }
};
typedef UniqueResource<HKeyTraits> UniqueHKey;

struct HModuleTraits
{
    typedef HMODULE Type;
    static HMODULE Invalid() noexcept { return nullptr; }
    static bool IsValid(HMODULE h) noexcept { return h != nullptr; }
    static void Close(HMODULE h) noexcept { ::FreeLibrary(h); }
};
typedef UniqueResource<HModuleTraits> UniqueHModule;

struct HInternetTraits
{
    typedef HINTERNET Type;
    static HINTERNET Invalid() noexcept { return nullptr; }
    static bool IsValid(HINTERNET h) noexcept { return h != nullptr; }
    static void Close(HINTERNET h) noexcept { ::InternetCloseHandle(h); }
};
typedef UniqueResource<HInternetTraits> UniqueHInternet;

struct CryptProvTraits
{
    typedef HCRYPTPROV Type;
    static HCRYPTPROV Invalid() noexcept { return 0; }
    static bool IsValid(HCRYPTPROV h) noexcept { return h != 0; }
    static void Close(HCRYPTPROV h) noexcept { ::CryptReleaseContext(h, 0); }
};
typedef UniqueResource<CryptProvTraits> UniqueCryptProv;

struct CryptHashTraits
{
    typedef HCRYPTHASH Type;
    static HCRYPTHASH Invalid() noexcept { return 0; }
    static bool IsValid(HCRYPTHASH h) noexcept { return h != 0; }
    static void Close(HCRYPTHASH h) noexcept { ::CryptDestroyHash(h); }
};
typedef UniqueResource<CryptHashTraits> UniqueCryptHash;

template <class T>
struct GdiObjectTraits
{
    typedef T Type;
    static T Invalid() noexcept { return nullptr; }
    static bool IsValid(T h) noexcept { return h != nullptr; }
    static void Close(T h) noexcept { ::DeleteObject(h); }
};
template <class T = HGDIOBJ>
using UniqueGdiObject = UniqueResource<GdiObjectTraits<T>>;
typedef UniqueGdiObject<HBITMAP> UniqueHBitmap;
typedef UniqueGdiObject<HFONT> UniqueHFont;
typedef UniqueGdiObject<HBRUSH> UniqueHBrush;
typedef UniqueGdiObject<HPEN> UniqueHPen;
typedef UniqueGdiObject<HRGN> UniqueHRgn;

struct HdcTraits
{
    typedef HDC Type;
    static HDC Invalid() noexcept { return nullptr; }
    static bool IsValid(HDC h) noexcept { return h != nullptr; }
    static void Close(HDC h) noexcept { ::DeleteDC(h); }
};
typedef UniqueResource<HdcTraits> UniqueCreatedDC;

struct HIconTraits
{
    typedef HICON Type;
    static HICON Invalid() noexcept { return nullptr; }
    static bool IsValid(HICON h) noexcept { return h != nullptr; }
    static void Close(HICON h) noexcept { ::DestroyIcon(h); }
};
typedef UniqueResource<HIconTraits> UniqueHIcon;

struct CoTaskMemTraits
{
    typedef void* Type;
    static void* Invalid() noexcept { return nullptr; }
    static bool IsValid(void* p) noexcept { return p != nullptr; }
    static void Close(void* p) noexcept { ::CoTaskMemFree(p); }
};
typedef UniqueResource<CoTaskMemTraits> UniqueCoTaskMem;

struct LocalMemTraits
{
    typedef HLOCAL Type;
    static HLOCAL Invalid() noexcept { return nullptr; }
    static bool IsValid(HLOCAL p) noexcept { return p != nullptr; }
    static void Close(HLOCAL p) noexcept { ::LocalFree(p); }
};
typedef UniqueResource<LocalMemTraits> UniqueLocalMem;

struct HGlobalTraits
{
    typedef HGLOBAL Type;
    static HGLOBAL Invalid() noexcept { return nullptr; }
    static bool IsValid(HGLOBAL p) noexcept { return p != nullptr; }
    static void Close(HGLOBAL p) noexcept { ::GlobalFree(p); }
};
typedef UniqueResource<HGlobalTraits> UniqueHGlobal;

struct MsiHandleTraits
{
    typedef MSIHANDLE Type;
    static MSIHANDLE Invalid() noexcept { return 0; }
    static bool IsValid(MSIHANDLE h) noexcept { return h != 0; }
    static void Close(MSIHANDLE h) noexcept { ::MsiCloseHandle(h); }
};
typedef UniqueResource<MsiHandleTraits> UniqueMsiHandle;

struct MappedViewTraits
{
    typedef void* Type;
    static void* Invalid() noexcept { return nullptr; }
    static bool IsValid(void* p) noexcept { return p != nullptr; }
    static void Close(void* p) noexcept { ::UnmapViewOfFile(p); }
};
typedef UniqueResource<MappedViewTraits> UniqueMappedView;

struct BCryptAlgTraits
{
    typedef BCRYPT_ALG_HANDLE Type;
    static BCRYPT_ALG_HANDLE Invalid() noexcept { return nullptr; }
    static bool IsValid(BCRYPT_ALG_HANDLE h) noexcept { return h != nullptr; }
    static void Close(BCRYPT_ALG_HANDLE h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};
typedef UniqueResource<BCryptAlgTraits> UniqueBCryptAlg;

struct BCryptKeyTraits
{
    typedef BCRYPT_KEY_HANDLE Type;
    static BCRYPT_KEY_HANDLE Invalid() noexcept { return nullptr; }
    static bool IsValid(BCRYPT_KEY_HANDLE h) noexcept { return h != nullptr; }
    static void Close(BCRYPT_KEY_HANDLE h) noexcept { ::BCryptDestroyKey(h); }
};
typedef UniqueResource<BCryptKeyTraits> UniqueBCryptKey;

struct BCryptHashTraits
{
    typedef BCRYPT_HASH_HANDLE Type;
    static BCRYPT_HASH_HANDLE Invalid() noexcept { return nullptr; }
    static bool IsValid(BCRYPT_HASH_HANDLE h) noexcept { return h != nullptr; }
    static void Close(BCRYPT_HASH_HANDLE h) noexcept { ::BCryptDestroyHash(h); }
};
typedef UniqueResource<BCryptHashTraits> UniqueBCryptHash;
