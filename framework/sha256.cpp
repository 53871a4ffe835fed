#include "framework/sha256.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define PT_SHA_INSTRUCTIONS 1
#endif

namespace {

constexpr uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t Rotate(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void PlainBlocks(uint32_t* state, const uint8_t* data, size_t count)
{
    for (; count > 0; --count, data += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = uint32_t(data[4 * i]) << 24 | uint32_t(data[4 * i + 1]) << 16 | uint32_t(data[4 * i + 2]) << 8 |
                   data[4 * i + 3];
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t v[8];
        memcpy(v, state, sizeof(v));
        for (int i = 0; i < 64; ++i) {
            const uint32_t t1 = v[7] + (Rotate(v[4], 6) ^ Rotate(v[4], 11) ^ Rotate(v[4], 25)) +
                                ((v[4] & v[5]) ^ (~v[4] & v[6])) + kRound[i] + w[i];
            const uint32_t t2 = (Rotate(v[0], 2) ^ Rotate(v[0], 13) ^ Rotate(v[0], 22)) +
                                ((v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]));
            memmove(v + 1, v, 7 * sizeof(uint32_t));
            v[4] += t1;
            v[0] = t1 + t2;
        }
        for (int i = 0; i < 8; ++i)
            state[i] += v[i];
    }
}

#ifdef PT_SHA_INSTRUCTIONS
// -1 until asked; no function-local static, whose guard would bring in the runtime's locks.
int g_shaInstructions = -1;

bool HasShaInstructions()
{
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSSE3) || !(c & bit_SSE4_1))
        return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 29));
}

// Four rounds at a time; the state is kept as ABEF and CDGH, as the instructions want it.
__attribute__((target("sha,sse4.1,ssse3"))) void ShaBlocks(uint32_t* state, const uint8_t* data, size_t count)
{
    const __m128i order = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i cdab = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (; count > 0; --count, data += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i w[4];
        for (int group = 0; group < 16; ++group) {
            __m128i& current = w[group % 4];
            if (group < 4) {
                current = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * group)), order);
            } else {
                const __m128i& last = w[(group + 3) % 4];
                const __m128i mixed = _mm_add_epi32(_mm_sha256msg1_epu32(current, w[(group + 1) % 4]),
                                                    _mm_alignr_epi8(last, w[(group + 2) % 4], 4));
                current = _mm_sha256msg2_epu32(mixed, last);
            }
            __m128i message = _mm_add_epi32(current, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound + 4 * group)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            message = _mm_shuffle_epi32(message, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}
#endif

}  // namespace

Sha256::Sha256()
    : m_state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19}
{
}

void Sha256::Blocks(const uint8_t* data, size_t count)
{
#ifdef PT_SHA_INSTRUCTIONS
    if (g_shaInstructions < 0)
        g_shaInstructions = HasShaInstructions() ? 1 : 0;  // the same answer on every thread
    if (g_shaInstructions) {
        ShaBlocks(m_state, data, count);
        return;
    }
#endif
    PlainBlocks(m_state, data, count);
}

void Sha256::Update(const void* data, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    m_total += size;
    if (m_pendingSize > 0) {
        const size_t take = size < 64 - m_pendingSize ? size : 64 - m_pendingSize;
        memcpy(m_pending + m_pendingSize, bytes, take);
        m_pendingSize += take;
        bytes += take;
        size -= take;
        if (m_pendingSize < 64)
            return;
        Blocks(m_pending, 1);
        m_pendingSize = 0;
    }
    Blocks(bytes, size / 64);
    memcpy(m_pending, bytes + size / 64 * 64, size % 64);
    m_pendingSize = size % 64;
}

void Sha256::Finish(uint8_t (&digest)[kSha256Size])
{
    const uint64_t bits = m_total * 8;
    const uint8_t one = 0x80, zero[64] = {};
    Update(&one, 1);
    Update(zero, (m_pendingSize <= 56 ? 56 : 120) - m_pendingSize);
    uint8_t length[8];
    for (int i = 0; i < 8; ++i)
        length[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    Update(length, 8);
    for (int i = 0; i < 8; ++i)
        for (int b = 0; b < 4; ++b)
            digest[4 * i + b] = static_cast<uint8_t>(m_state[i] >> (24 - 8 * b));
}
