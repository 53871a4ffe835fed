#pragma once
// Writes small ZIP archives with chosen flaws, for feeding the unpacker hostile input.
#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
    std::string name;
    std::string data;           // stored as is (method 0)
    bool badCrc = false;        // store a CRC that does not match the data
    uint32_t dosDateTime = 0x58A16000;  // 2024-05-01 12:00:00
    uint32_t declaredExtra = 0;         // sizes in the headers claim this many bytes more than stored
    int64_t utcTime = -1;               // >= 0: the extended timestamp "UT" with this time (seconds since 1970)
};

// The archive's bytes; `truncateTo` > 0 cuts the result to that many bytes.
std::string MakeZip(const std::vector<ZipEntry>& entries, size_t truncateTo = 0);
