#pragma once
// SHA-256, for checking that what the setup unpacks is the payload it was built with. Uses the
// processor's SHA instructions where it has them.
#include <cstddef>
#include <cstdint>

inline constexpr size_t kSha256Size = 32;

class Sha256 {
public:
    Sha256();
    void Update(const void* data, size_t size);
    // The digest of everything given to Update; the object is spent afterwards.
    void Finish(uint8_t (&digest)[kSha256Size]);

private:
    void Blocks(const uint8_t* data, size_t count);

    uint32_t m_state[8];
    uint8_t m_pending[64];
    size_t m_pendingSize = 0;
    uint64_t m_total = 0;
};
