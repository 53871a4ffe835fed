#pragma once
// Writes small ZIP archives with chosen flaws, for feeding the unpacker hostile input.
#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
    std::string name;
    std::string data;           // what the entry holds; stored as is (method 0) unless `packed` is given
    bool badCrc = false;        // store a CRC that does not match the data
    uint32_t dosDateTime = 0x58A16000;  // 2024-05-01 12:00:00
    int32_t declaredExtra = 0;          // sizes in the headers claim this many bytes more (or fewer) than stored
    int64_t utcTime = -1;               // >= 0: the extended timestamp "UT" with this time (seconds since 1970)
    std::string packed = {};    // given: the entry's data as packed, an .xz stream (method 95) of `data`
    int method = -1;            // >= 0: this method in the headers whatever the data
};

// The archive's bytes; `truncateTo` > 0 cuts the result to that many bytes.
std::string MakeZip(const std::vector<ZipEntry>& entries, size_t truncateTo = 0);
