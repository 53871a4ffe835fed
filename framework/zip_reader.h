#pragma once
// Reading a ZIP archive: its central directory entry by entry, and each entry's data, stored
// (method 0) or an .xz stream (method 95, decoded by liblzma), checked against the size and
// CRC-32 the directory declares. Archives that need more (ZIP64, several disks, encryption,
// other methods) are refused, not guessed at.
#include "framework/handles.h"

#include <cstddef>
#include <cstdint>

// Where the archive's bytes come from.
class ArchiveBytes {
public:
    virtual ~ArchiveBytes() = default;
    // Size: the archive's length in bytes.
    virtual uint64_t Size() const = 0;
    // ReadAt: exactly `size` bytes from `offset` into `buffer`; false when they cannot all be read.
    virtual bool ReadAt(uint64_t offset, void* buffer, uint32_t size) = 0;
};

enum ZipResult : int {
    kZipOk = 0,
    kZipDamaged = -1,      // not a well-formed archive, or an entry's data is not what it declares
    kZipUnsupported = -2,  // well-formed, but needs what this reader does not do
    kZipReadFailed = -3,   // the bytes could not be read
    kZipNoMemory = -4,
};

inline constexpr uint16_t kZipStored = 0;
inline constexpr uint16_t kZipXz = 95;
inline constexpr size_t kZipNameSize = 520;  // names of more bytes are refused

// One entry as the central directory declares it.
struct ZipEntryInfo {
    char name[kZipNameSize];  // as stored, NUL-terminated
    size_t nameLength;        // differs from strlen(name) when the stored name holds a NUL
    uint16_t method;
    uint32_t crc;
    uint64_t packedSize;
    uint64_t size;
    uint32_t dosDate;   // the DOS date in the high word, the time in the low one
    bool hasUtc;        // the extended timestamp ("UT") gives the modification time
    uint32_t utcTime;   // seconds since 1970, UTC
    uint64_t localHeader;
};

// liblzma's decoder of one entry; ending it frees what it took.
struct XzStream;
struct XzStreamEndCall { void operator()(XzStream* stream) const; };
using XzDecoder = UniqueResource<NullIsInvalid<XzStream*, XzStreamEndCall>>;

class ZipReader {
public:
    explicit ZipReader(ArchiveBytes& bytes) : m_bytes(bytes) {}
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    // Open: finds the end record and the central directory it names.
    int Open();
    // Count: the number of entries the directory declares.
    uint32_t Count() const { return m_count; }
    // Rewind: the next NextEntry reads the directory's first entry.
    void Rewind();
    // NextEntry: the directory's next entry into `entry`.
    int NextEntry(ZipEntryInfo& entry);
    // OpenData: checks the entry's local header against the directory and starts its data.
    int OpenData(const ZipEntryInfo& entry);
    // ReadData: up to `size` bytes of the open entry's data; 0 at its end, once its size and
    // CRC-32 matched what was declared; a ZipResult (negative) when they did not or on an error.
    long ReadData(void* buffer, uint32_t size);

private:
    bool Read(uint64_t offset, void* buffer, uint32_t size);
    long ReadStored(unsigned char* out, uint32_t size);
    long ReadXz(unsigned char* out, uint32_t size);

    ArchiveBytes& m_bytes;
    uint32_t m_count = 0;
    uint64_t m_directory = 0;     // where the central directory starts
    uint64_t m_directoryEnd = 0;  // and where it ends
    uint64_t m_cursor = 0;        // the next directory record
    // The open entry.
    uint16_t m_method = 0;
    uint64_t m_packedAt = 0;      // the next packed byte to read
    uint64_t m_packedEnd = 0;
    uint64_t m_size = 0;          // as declared
    uint64_t m_produced = 0;
    uint32_t m_crc = 0;           // as declared
    uint32_t m_crcSoFar = 0;
    bool m_open = false;
    bool m_streamEnded = false;
    XzDecoder m_decoder;          // while an .xz entry is open
    HeapBuffer<unsigned char> m_input;
};
