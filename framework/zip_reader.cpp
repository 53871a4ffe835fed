#include "framework/zip_reader.h"

#include <lzma.h>

#include <cstdlib>
#include <cstring>

struct XzStream {
    lzma_stream stream = LZMA_STREAM_INIT;
};

void XzStreamEndCall::operator()(XzStream* decoder) const
{
    lzma_end(&decoder->stream);
    free(decoder);
}

namespace {

constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kDirectorySignature = 0x02014B50;
constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kEndSize = 22;
constexpr uint32_t kDirectoryRecordSize = 46;
constexpr uint32_t kLocalHeaderSize = 30;
constexpr uint32_t kLongestComment = 0xFFFF;
constexpr uint32_t kInputChunk = 65536;
// More than any entry's dictionary the payload is packed with: a stream that asks for more is
// not ours, and is refused before it takes the memory.
constexpr uint64_t kDecoderMemoryLimit = 32u << 20;

uint16_t Get16(const unsigned char* at)
{
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

uint32_t Get32(const unsigned char* at)
{
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

// The modification time of the extended-timestamp field ("UT", 0x5455) of an extra block.
bool ExtendedTimestamp(const unsigned char* extra, size_t size, uint32_t& seconds)
{
    for (size_t at = 0; at + 4 <= size;) {
        const unsigned tag = Get16(extra + at);
        const size_t length = Get16(extra + at + 2);
        if (at + 4 + length > size)
            return false;
        if (tag == 0x5455 && length >= 5 && (extra[at + 4] & 1)) {
            seconds = Get32(extra + at + 5);
            return true;
        }
        at += 4 + length;
    }
    return false;
}

}  // namespace

bool ZipReader::Read(uint64_t offset, void* buffer, uint32_t size)
{
    return offset <= m_bytes.Size() && size <= m_bytes.Size() - offset && m_bytes.ReadAt(offset, buffer, size);
}

int ZipReader::Open()
{
    const uint64_t total = m_bytes.Size();
    if (total < kEndSize)
        return kZipDamaged;
    // The end record is the last thing in the archive, after at most a comment.
    const uint32_t tail = static_cast<uint32_t>(total < kEndSize + kLongestComment ? total : kEndSize + kLongestComment);
    HeapBuffer<unsigned char> buffer = AllocateBuffer<unsigned char>(tail);
    if (!buffer)
        return kZipNoMemory;
    if (!Read(total - tail, buffer.Get(), tail))
        return kZipReadFailed;
    const unsigned char* end = nullptr;
    for (uint32_t at = tail - kEndSize + 1; at-- > 0;) {
        const unsigned char* record = buffer.Get() + at;
        if (Get32(record) == kEndSignature && at + kEndSize + Get16(record + 20) == tail) {
            end = record;
            break;
        }
    }
    if (end == nullptr)
        return kZipDamaged;
    const uint64_t endAt = total - tail + static_cast<uint64_t>(end - buffer.Get());
    const uint16_t entries = Get16(end + 10);
    m_directory = Get32(end + 16);
    m_directoryEnd = m_directory + Get32(end + 12);
    if (Get16(end + 4) != 0 || Get16(end + 6) != 0 || Get16(end + 8) != entries)
        return kZipUnsupported;  // several disks
    if (entries == 0xFFFF || m_directory == 0xFFFFFFFF)
        return kZipUnsupported;  // ZIP64
    if (m_directoryEnd > endAt)
        return kZipDamaged;
    m_count = entries;
    Rewind();
    return kZipOk;
}

void ZipReader::Rewind()
{
    m_cursor = m_directory;
}

int ZipReader::NextEntry(ZipEntryInfo& entry)
{
    unsigned char record[kDirectoryRecordSize];
    if (m_cursor + kDirectoryRecordSize > m_directoryEnd)
        return kZipDamaged;
    if (!Read(m_cursor, record, kDirectoryRecordSize))
        return kZipReadFailed;
    const uint16_t flags = Get16(record + 8);
    const uint32_t nameLength = Get16(record + 28), extraLength = Get16(record + 30), commentLength = Get16(record + 32);
    const uint64_t next = m_cursor + kDirectoryRecordSize + nameLength + extraLength + commentLength;
    if (Get32(record) != kDirectorySignature || next > m_directoryEnd || nameLength >= kZipNameSize)
        return kZipDamaged;
    entry = ZipEntryInfo{};
    entry.nameLength = nameLength;
    entry.method = Get16(record + 10);
    entry.dosDate = Get32(record + 12);
    entry.crc = Get32(record + 16);
    entry.packedSize = Get32(record + 20);
    entry.size = Get32(record + 24);
    entry.localHeader = Get32(record + 42);
    unsigned char extra[256];
    const uint32_t extraRead = extraLength < sizeof(extra) ? extraLength : sizeof(extra);
    if (!Read(m_cursor + kDirectoryRecordSize, entry.name, nameLength)
        || !Read(m_cursor + kDirectoryRecordSize + nameLength, extra, extraRead))
        return kZipReadFailed;
    entry.hasUtc = ExtendedTimestamp(extra, extraRead, entry.utcTime);
    m_cursor = next;
    if ((flags & 1) != 0 || entry.packedSize == 0xFFFFFFFF || entry.size == 0xFFFFFFFF
        || entry.localHeader == 0xFFFFFFFF)
        return kZipUnsupported;  // encrypted, or ZIP64
    return kZipOk;
}

int ZipReader::OpenData(const ZipEntryInfo& entry)
{
    m_open = false;
    m_decoder.Reset();
    if (entry.method != kZipStored && entry.method != kZipXz)
        return kZipUnsupported;
    unsigned char header[kLocalHeaderSize];
    char name[kZipNameSize];
    if (!Read(entry.localHeader, header, kLocalHeaderSize))
        return kZipReadFailed;
    const uint32_t nameLength = Get16(header + 26);
    const uint64_t data = entry.localHeader + kLocalHeaderSize + nameLength + Get16(header + 28);
    // The local header must name the entry the directory names, packed the same way, and its
    // data must end before the directory starts.
    if (Get32(header) != kLocalSignature || Get16(header + 8) != entry.method || nameLength != entry.nameLength
        || data > m_directory || entry.packedSize > m_directory - data)
        return kZipDamaged;
    if (!Read(entry.localHeader + kLocalHeaderSize, name, nameLength))
        return kZipReadFailed;
    if (memcmp(name, entry.name, nameLength) != 0)
        return kZipDamaged;
    if (entry.method == kZipStored && entry.packedSize != entry.size)
        return kZipDamaged;
    if (entry.method == kZipXz) {
        if (!m_input && !(m_input = AllocateBuffer<unsigned char>(kInputChunk)))
            return kZipNoMemory;
        // Allocated plainly: the library's new would bring its exception support into the program.
        m_decoder.Reset(static_cast<XzStream*>(malloc(sizeof(XzStream))));
        if (!m_decoder)
            return kZipNoMemory;
        *m_decoder.Get() = XzStream{};
        if (lzma_stream_decoder(&m_decoder.Get()->stream, kDecoderMemoryLimit, 0) != LZMA_OK) {
            m_decoder.Reset();
            return kZipNoMemory;
        }
    }
    m_method = entry.method;
    m_packedAt = data;
    m_packedEnd = data + entry.packedSize;
    m_size = entry.size;
    m_crc = entry.crc;
    m_produced = 0;
    m_crcSoFar = 0;
    m_streamEnded = false;
    m_open = true;
    return kZipOk;
}

long ZipReader::ReadStored(unsigned char* out, uint32_t size)
{
    const uint64_t left = m_packedEnd - m_packedAt;
    const uint32_t count = left < size ? static_cast<uint32_t>(left) : size;
    if (!Read(m_packedAt, out, count))
        return kZipReadFailed;
    m_packedAt += count;
    return static_cast<long>(count);
}

long ZipReader::ReadXz(unsigned char* out, uint32_t size)
{
    lzma_stream& stream = m_decoder.Get()->stream;
    stream.next_out = out;
    stream.avail_out = size;
    while (stream.avail_out > 0 && !m_streamEnded) {
        if (stream.avail_in == 0 && m_packedAt < m_packedEnd) {
            const uint64_t left = m_packedEnd - m_packedAt;
            const uint32_t count = left < kInputChunk ? static_cast<uint32_t>(left) : kInputChunk;
            if (!Read(m_packedAt, m_input.Get(), count))
                return kZipReadFailed;
            m_packedAt += count;
            stream.next_in = m_input.Get();
            stream.avail_in = count;
        }
        const lzma_ret result = lzma_code(&stream, m_packedAt == m_packedEnd ? LZMA_FINISH : LZMA_RUN);
        if (result == LZMA_STREAM_END) {
            // The stream must take up the entry's data to its last byte.
            if (stream.avail_in != 0 || m_packedAt != m_packedEnd)
                return kZipDamaged;
            m_streamEnded = true;
        } else if (result == LZMA_MEM_ERROR) {
            return kZipNoMemory;
        } else if (result == LZMA_OPTIONS_ERROR || result == LZMA_MEMLIMIT_ERROR) {
            return kZipUnsupported;
        } else if (result != LZMA_OK) {
            return kZipDamaged;  // a damaged stream, or one cut short
        }
    }
    return static_cast<long>(size - stream.avail_out);
}

long ZipReader::ReadData(void* buffer, uint32_t size)
{
    if (!m_open)
        return kZipDamaged;
    unsigned char* out = static_cast<unsigned char*>(buffer);
    // Never more than the entry declares: an entry whose data runs on is stopped at its size.
    if (size > m_size - m_produced)
        size = static_cast<uint32_t>(m_size - m_produced) + 1;
    const long got = m_method == kZipStored ? ReadStored(out, size) : ReadXz(out, size);
    if (got < 0 || m_produced + static_cast<uint64_t>(got) > m_size) {
        m_open = false;
        m_decoder.Reset();
        return got < 0 ? got : static_cast<long>(kZipDamaged);
    }
    m_produced += static_cast<uint64_t>(got);
    m_crcSoFar = lzma_crc32(out, static_cast<size_t>(got), m_crcSoFar);
    if (got == 0) {
        m_open = false;
        m_decoder.Reset();
        const bool whole = m_method == kZipStored || m_streamEnded;
        return whole && m_produced == m_size && m_crcSoFar == m_crc ? 0 : kZipDamaged;
    }
    return got;
}
