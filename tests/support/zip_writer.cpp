#include "support/zip_writer.h"

#include <zlib.h>

namespace {

void Put16(std::string& out, uint32_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

}  // namespace

std::string MakeZip(const std::vector<ZipEntry>& entries, size_t truncateTo)
{
    std::string out;
    std::string central;
    for (const ZipEntry& e : entries) {
        uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size()));
        if (e.badCrc)
            crc ^= 0xA5A5A5A5;
        const bool packed = !e.packed.empty();
        const std::string& stored = packed ? e.packed : e.data;
        const int method = e.method >= 0 ? e.method : packed ? 95 : 0;
        const uint32_t packedSize = static_cast<uint32_t>(stored.size()) + (packed ? 0 : e.declaredExtra);
        const uint32_t size = static_cast<uint32_t>(e.data.size()) + e.declaredExtra;
        uint32_t offset = static_cast<uint32_t>(out.size());
        auto header = [&](std::string& to, bool local) {
            Put32(to, local ? 0x04034B50 : 0x02014B50);
            if (!local)
                Put16(to, 20);  // made by
            Put16(to, 20);      // needed to extract
            Put16(to, 0);       // flags: no UTF-8 name
            Put16(to, static_cast<uint32_t>(method));
            Put16(to, e.dosDateTime & 0xFFFF);
            Put16(to, e.dosDateTime >> 16);
            Put32(to, crc);
            Put32(to, packedSize);
            Put32(to, size);
            Put16(to, static_cast<uint32_t>(e.name.size()));
            Put16(to, e.utcTime >= 0 ? 9 : 0);  // extra field
            if (!local) {
                Put16(to, 0);  // comment
                Put16(to, 0);  // disk
                Put16(to, 0);  // internal attributes
                Put32(to, e.name.empty() || e.name.back() != '/' ? 0x20 : 0x10);
                Put32(to, offset);
            }
            to += e.name;
            if (e.utcTime >= 0) {
                Put16(to, 0x5455);
                Put16(to, 5);
                to.push_back(1);  // the modification time only
                Put32(to, static_cast<uint32_t>(e.utcTime));
            }
        };
        header(out, true);
        out += stored;
        header(central, false);
    }
    uint32_t centralOffset = static_cast<uint32_t>(out.size());
    out += central;
    Put32(out, 0x06054B50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint32_t>(entries.size()));
    Put16(out, static_cast<uint32_t>(entries.size()));
    Put32(out, static_cast<uint32_t>(central.size()));
    Put32(out, centralOffset);
    Put16(out, 0);
    if (truncateTo > 0 && truncateTo < out.size())
        out.resize(truncateTo);
    return out;
}
