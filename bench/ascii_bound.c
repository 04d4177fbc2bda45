/* ascii_bound FILE
 *
 * The least work a converter of pure ASCII text can do, timed by
 * bench/run.sh as the bound for kawase's ASCII columns: read FILE in 64 KiB
 * blocks (kawase's block size), check that every byte is below 0x80 and is
 * neither CR nor Ctrl-Z, copy it to the output buffer with a CR before each
 * LF, all in one pass, and write each block with one write(2) to standard
 * output. A byte that fails the check ends the run with status 1.
 *
 * Build: cc -O2 -o ascii_bound ascii_bound.c (-DASCII_BOUND_PLAIN: the
 * portable loop alone, to check the vector one against)
 */
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#if (defined(__x86_64__) || defined(__i386__)) && !defined(ASCII_BOUND_PLAIN)
#include <immintrin.h>
#define HAVE_X86 1
#endif

enum { BLOCK = 64 * 1024, PAD = 16 };

static unsigned char in[BLOCK + PAD];
static unsigned char out[2 * BLOCK + PAD];

/* The portable reference; returns the output length and sets *bad when a
 * byte fails the check. */
static size_t convert_plain(size_t i, size_t n, size_t o, unsigned char seen, int *bad) {
  for (; i < n; i++) {
    unsigned char c = in[i];
    seen |= (unsigned char)(c >= 0x80 || c == '\r' || c == 0x1a);
    if (c == '\n') out[o++] = '\r';
    out[o++] = c;
  }
  *bad = seen;
  return o;
}

#ifdef HAVE_X86
/* For each pattern of LFs in 8 bytes: the shuffle that spreads the 8 bytes
 * over 8 + (number of LFs) bytes with a gap before each LF, the CRs that
 * fill the gaps, and the length. No branch depends on the data. */
static unsigned char spread[256][16], crs[256][16], width[256];

static void build_tables(void) {
  for (int m = 0; m < 256; m++) {
    int j = 0;
    memset(spread[m], 0x80, 16);
    for (int b = 0; b < 8; b++) {
      if (m >> b & 1) crs[m][j++] = '\r';
      spread[m][j++] = (unsigned char)b;
    }
    width[m] = (unsigned char)j;
  }
}

static inline __attribute__((target("ssse3"))) size_t put8(__m128i v, unsigned m, size_t o) {
  __m128i s = _mm_shuffle_epi8(v, _mm_loadu_si128((const __m128i *)spread[m]));
  _mm_storeu_si128((__m128i *)(out + o), _mm_or_si128(s, _mm_loadu_si128((const __m128i *)crs[m])));
  return o + width[m];
}

__attribute__((target("ssse3"))) static size_t convert_ssse3(size_t n, int *bad) {
  const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), sub = _mm_set1_epi8(0x1a);
  __m128i flags = _mm_setzero_si128();
  size_t i = 0, o = 0;
  for (; i + 16 <= n; i += 16) {
    __m128i v = _mm_loadu_si128((const __m128i *)(in + i));
    flags = _mm_or_si128(flags, _mm_or_si128(v, _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, sub))));
    unsigned m = (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf));
    o = put8(v, m & 0xff, o);
    o = put8(_mm_srli_si128(v, 8), m >> 8, o);
  }
  return convert_plain(i, n, o, (unsigned char)(_mm_movemask_epi8(flags) != 0), bad);
}
#endif

static size_t convert(size_t n, int *bad) {
#ifdef HAVE_X86
  static int vector = -1;
  if (vector < 0) {
    vector = __builtin_cpu_supports("ssse3");
    if (vector) build_tables();
  }
  if (vector) return convert_ssse3(n, bad);
#endif
  return convert_plain(0, n, 0, 0, bad);
}

static int write_all(const unsigned char *p, size_t n) {
  while (n > 0) {
    ssize_t w = write(STDOUT_FILENO, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return -1;
    p += w;
    n -= (size_t)w;
  }
  return 0;
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fputs("usage: ascii_bound FILE\n", stderr);
    return 2;
  }
  int fd = open(argv[1], O_RDONLY);
  if (fd < 0) {
    perror(argv[1]);
    return 1;
  }
  for (;;) {
    ssize_t n = read(fd, in, BLOCK);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      perror(argv[1]);
      return 1;
    }
    if (n == 0) return 0;
    int bad;
    size_t len = convert((size_t)n, &bad);
    if (bad) {
      fprintf(stderr, "ascii_bound: %s holds a byte other than ASCII text\n", argv[1]);
      return 1;
    }
    if (write_all(out, len) < 0) {
      perror("ascii_bound: write");
      return 1;
    }
  }
}
