// The fast road's spans in AVX-512, with the contract of
// unitosjSpanPortable and sjtouniSpanPortable (convert.h): the same output
// bytes and the same stop for every span, 32 input bytes a step. They need
// AVX-512 F, BW, VL, VBMI and VBMI2 and BMI2; the caller checks the
// processor before it calls them. They are built only for x86-64 (their
// 64-bit masks do not exist on i686): KAWASE_HAVE_AVX512_SPANS says whether
// this build has them.
#pragma once

#if defined(__GNUC__) && defined(__x86_64__)
#define KAWASE_HAVE_AVX512_SPANS 1
#else
#define KAWASE_HAVE_AVX512_SPANS 0
#endif

#if KAWASE_HAVE_AVX512_SPANS
namespace kawase {

const char* unitosjSpanAvx512(const char* src, const char* end, char** dst);
const char* sjtouniSpanAvx512(const char* src, const char* end, char** dst);

}  // namespace kawase
#endif
