// The text streams' loops: the CR/Ctrl-Z scan of every block read and the
// LF expansion of every text written, portable and in vector forms that
// must give the same bytes.
#include "platform/text_kernels.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/crlf.h"
#include "platform/kernels.h"

namespace kawase {

namespace {
constexpr unsigned char kCtrlZ = 0x1A;
}  // namespace

// Two passes, each a memchr.
long textOfBlockPortable(unsigned char* buf, long n, bool* ended) {
  auto* z = static_cast<unsigned char*>(std::memchr(buf, kCtrlZ, static_cast<size_t>(n)));
  if (z != nullptr) {
    n = static_cast<long>(z - buf);
    *ended = true;
  }
  auto* cr = static_cast<unsigned char*>(std::memchr(buf, '\r', static_cast<size_t>(n)));
  if (cr == nullptr) return n;
  unsigned char* out = cr;
  for (const unsigned char* in = cr + 1; in < buf + n; in++)
    if (*in != '\r') *out++ = *in;
  return static_cast<long>(out - buf);
}

// Up to the next LF with memchr and memcpy, then the CR LF.
long appendCrLfPortable(const unsigned char* in, long n, unsigned char* out, long* len,
                        long limit) {
  long done = 0;
  long at = *len;
  while (done < n && at < limit) {
    long take = n - done < limit - at ? n - done : limit - at;
    const auto* lf =
        static_cast<const unsigned char*>(std::memchr(in + done, '\n', static_cast<size_t>(take)));
    if (lf != nullptr) take = static_cast<long>(lf - (in + done));
    std::memcpy(out + at, in + done, static_cast<size_t>(take));
    at += take;
    done += take;
    if (lf != nullptr) {
      out[at++] = '\r';
      out[at++] = '\n';
      done++;
    }
  }
  *len = at;
  return done;
}

#if defined(KAWASE_X86)

namespace {

// For each pattern of CRs among 8 bytes: the byte shuffle that packs the
// other bytes together at the front.
struct CrDrop {
  unsigned char order[256][16];
};

constexpr CrDrop makeCrDrop() {
  CrDrop t{};
  for (int crs = 0; crs < 256; crs++) {
    int at = 0;
    for (int i = 0; i < 16; i++) t.order[crs][i] = 0x80;
    for (int i = 0; i < 8; i++)
      if ((crs >> i & 1) == 0) t.order[crs][at++] = static_cast<unsigned char>(i);
  }
  return t;
}

alignas(16) constexpr CrDrop kCrDrop = makeCrDrop();

}  // namespace

// One pass, sixteen bytes a step checked for CR and Ctrl-Z together. Up to
// the first CR nothing moves; from there on each half of 8 bytes is packed
// over its CRs by a table shuffle and stored where the text has got to,
// never beyond the bytes already loaded.
__attribute__((target("ssse3"))) long textOfBlockSsse3(unsigned char* buf, long n, bool* ended) {
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i z = _mm_set1_epi8(static_cast<char>(kCtrlZ));
  long i = 0;
  while (n - i >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + i));
    auto hits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, z))));
    if (hits != 0) {
      i += std::countr_zero(hits);
      break;
    }
    i += 16;
  }
  long o = i;
  for (; n - i >= 16; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + i));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(v, z)) != 0) break;
    auto crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)));
    const unsigned halves[2] = {crs & 0xFF, crs >> 8};
    for (unsigned half : halves) {
      const auto* order = reinterpret_cast<const __m128i*>(kCrDrop.order[half]);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(buf + o),
                       _mm_shuffle_epi8(v, _mm_load_si128(order)));
      o += 8 - kLfShuffle.grow[half];  // the table counts the CRs too
      v = _mm_srli_si128(v, 8);
    }
  }
  for (; i < n; i++) {
    if (buf[i] == kCtrlZ) {
      *ended = true;
      break;
    }
    if (buf[i] != '\r') buf[o++] = buf[i];
  }
  return o;
}

// Sixteen bytes a step, as two halves of 8 that each become 8 to 16 bytes
// through a table shuffle, whatever LFs they hold: no branch per line. The
// rest goes the portable way, which stops where it would have stopped.
__attribute__((target("ssse3"))) long appendCrLfSsse3(const unsigned char* in, long n,
                                                      unsigned char* out, long* len, long limit) {
  const __m128i lf = _mm_set1_epi8('\n');
  long at = *len;
  long i = 0;
  // Sixteen bytes grow to at most 32, and then stay within the limit.
  for (; n - i >= 16 && at + 32 <= limit; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    auto lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
    at = static_cast<long>(storeWithCrLf(v, lfs, out + at) - out);
  }
  *len = at;
  return i + appendCrLfPortable(in + i, n - i, out, len, limit);
}

#endif  // KAWASE_X86

#if defined(KAWASE_X86_64)

namespace {

// The first n bits (all 64 from n = 64 on).
KAWASE_TARGET_AVX512 inline uint64_t lowBits(long n) {
  return _bzhi_u64(~0ull, static_cast<unsigned>(n < 64 ? n : 64));
}

}  // namespace

// Sixty-four bytes a step: up to the first CR or Ctrl-Z nothing moves; from
// there on each step's bytes but its CRs are compressed together and stored
// where the text has got to, which is never beyond the bytes loaded.
KAWASE_TARGET_AVX512 long textOfBlockAvx512(unsigned char* buf, long n, bool* ended) {
  const __m512i cr = _mm512_set1_epi8('\r');
  const __m512i z = _mm512_set1_epi8(static_cast<char>(kCtrlZ));
  long i = 0;
  for (; i < n; i += 64) {
    __mmask64 valid = lowBits(n - i);
    __m512i v = _mm512_maskz_loadu_epi8(valid, buf + i);
    __mmask64 hits =
        _mm512_mask_cmpeq_epi8_mask(valid, v, cr) | _mm512_mask_cmpeq_epi8_mask(valid, v, z);
    if (hits != 0) {
      i += static_cast<long>(_tzcnt_u64(hits));
      break;
    }
  }
  if (i >= n) return n;
  long o = i;
  for (; i < n; i += 64) {
    __mmask64 valid = lowBits(n - i);
    __m512i v = _mm512_maskz_loadu_epi8(valid, buf + i);
    __mmask64 zs = _mm512_mask_cmpeq_epi8_mask(valid, v, z);
    if (zs != 0) valid &= _blsmsk_u64(zs) >> 1;  // the bytes before the Ctrl-Z
    __mmask64 keep = valid & ~_mm512_cmpeq_epi8_mask(v, cr);
    __m512i kept = _mm512_maskz_compress_epi8(keep, v);
    long count = static_cast<long>(_mm_popcnt_u64(keep));
    _mm512_mask_storeu_epi8(buf + o, lowBits(count), kept);
    o += count;
    if (zs != 0) {
      *ended = true;
      break;
    }
  }
  return o;
}

// Thirty-two bytes a step with their CR LFs in one compress: no branch per
// line. The rest goes the portable way, which stops where it would have
// stopped.
KAWASE_TARGET_AVX512 long appendCrLfAvx512(const unsigned char* in, long n, unsigned char* out,
                                           long* len, long limit) {
  const __m512i lf = _mm512_set1_epi8('\n');
  constexpr __mmask64 kHalf = 0xFFFFFFFFu;
  long at = *len;
  long i = 0;
  // Thirty-two bytes grow to at most 64, and then stay within the limit.
  for (; n - i >= 32 && at + 64 <= limit; i += 32) {
    __m512i v = _mm512_maskz_loadu_epi8(kHalf, in + i);
    uint64_t lfs = _mm512_mask_cmpeq_epi8_mask(kHalf, v, lf);
    at = static_cast<long>(storeWithCrLfAvx512(v, lfs, 32, out + at) - out);
  }
  *len = at;
  return i + appendCrLfPortable(in + i, n - i, out, len, limit);
}

#endif  // KAWASE_X86_64

}  // namespace kawase
