#pragma once
// Move-only owners, one per kind of handle; each closes its handle on every path.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

template <typename Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() = default;
    explicit UniqueResource(Handle handle) : m_handle(handle) {}
    ~UniqueResource() { Reset(); }

    UniqueResource(UniqueResource&& other) noexcept : m_handle(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Handle Get() const { return m_handle; }
    bool Valid() const { return Traits::IsValid(m_handle); }
    explicit operator bool() const { return Valid(); }

    // For out-parameters of API calls: closes what is held and hands out the slot.
    Handle* Receive()
    {
        Reset();
        return &m_handle;
    }
    Handle Release() { return std::exchange(m_handle, Traits::Invalid()); }
    void Reset(Handle handle = Traits::Invalid())
    {
        if (Traits::IsValid(m_handle))
            Traits::Close(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = Traits::Invalid();
};

template <typename H, typename Closer>
struct NullIsInvalid {
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { Closer{}(h); }
};

struct RegCloseKeyCall { void operator()(HKEY key) const { RegCloseKey(key); } };
struct FreeLibraryCall { void operator()(HMODULE module) const { FreeLibrary(module); } };
struct FcloseCall { void operator()(FILE* file) const { fclose(file); } };
struct DeleteDcCall { void operator()(HDC dc) const { DeleteDC(dc); } };
struct ReleaseCall { void operator()(IUnknown* object) const { object->Release(); } };
struct CoTaskMemFreeCall { void operator()(void* memory) const { CoTaskMemFree(memory); } };
struct FreeCall { void operator()(void* memory) const { free(memory); } };
struct LocalFreeCall { void operator()(void* memory) const { LocalFree(memory); } };

struct CloseHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Handle h) { CloseHandle(h); }
};

// Registry key, closed with RegCloseKey.
using RegKey = UniqueResource<NullIsInvalid<HKEY, RegCloseKeyCall>>;
// Loaded module, released with FreeLibrary.
using LibraryModule = UniqueResource<NullIsInvalid<HMODULE, FreeLibraryCall>>;
// C runtime stream, closed with fclose.
using StdioFile = UniqueResource<NullIsInvalid<FILE*, FcloseCall>>;
// Kernel object (file, process), closed with CloseHandle.
using KernelHandle = UniqueResource<CloseHandleTraits>;
// Created device context, deleted with DeleteDC.
using CreatedDc = UniqueResource<NullIsInvalid<HDC, DeleteDcCall>>;
// COM interface pointer, released with Release.
template <typename Interface>
using ComPtr = UniqueResource<NullIsInvalid<Interface*, ReleaseCall>>;
// Memory the shell hands out (an item id list), freed with CoTaskMemFree.
template <typename T>
using CoTaskMemory = UniqueResource<NullIsInvalid<T*, CoTaskMemFreeCall>>;
// Heap memory of the C runtime, freed with free.
template <typename T>
using HeapBuffer = UniqueResource<NullIsInvalid<T*, FreeCall>>;
// `count` elements on the heap, not initialised; invalid when the heap has no room.
template <typename T>
HeapBuffer<T> AllocateBuffer(size_t count)
{
    return HeapBuffer<T>(static_cast<T*>(malloc(count * sizeof(T))));
}

// Room for `count` elements, keeping those there; false (the buffer as it was) when the heap has none.
template <typename T>
bool ResizeBuffer(HeapBuffer<T>& buffer, size_t count)
{
    void* grown = realloc(buffer.Get(), count * sizeof(T));
    if (grown == nullptr)
        return false;
    buffer.Release();
    buffer.Reset(static_cast<T*>(grown));
    return true;
}

// Memory the security functions hand out, freed with LocalFree.
using LocalMemory = UniqueResource<NullIsInvalid<void*, LocalFreeCall>>;

// COM for the current thread for the length of a scope; uninitialised only if it started.
class ComApartment {
public:
    ComApartment() : m_started(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComApartment()
    {
        if (m_started)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool m_started;
};
