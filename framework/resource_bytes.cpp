#include "framework/resource_bytes.h"

ResourceBytes FindResourceBytes(const wchar_t* type, unsigned id)
{
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(id), type);
    HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    return {data, data ? SizeofResource(self, found) : 0};
}

bool ResourceFileOffset(const ResourceBytes& resource, ULONGLONG& offset)
{
    const auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto* bytes = static_cast<const BYTE*>(resource.data);
    if (bytes < base)
        return false;
    const ULONGLONG rva = static_cast<ULONGLONG>(bytes - base);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (rva >= section->VirtualAddress
            && rva + resource.size <= static_cast<ULONGLONG>(section->VirtualAddress) + section->SizeOfRawData) {
            offset = rva - section->VirtualAddress + section->PointerToRawData;
            return true;
        }
    }
    return false;
}
