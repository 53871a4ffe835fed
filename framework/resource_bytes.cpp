#include "framework/resource_bytes.h"

ResourceBytes FindResourceBytes(const wchar_t* type, unsigned id)
{
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(id), type);
    HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    return {data, data ? SizeofResource(self, found) : 0};
}
