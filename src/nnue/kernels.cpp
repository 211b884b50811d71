// The network's two inner loops for each instruction set: the portable
// loops every build has, and SSE2 and AVX2 forms for x86-64, chosen at
// start-up by what the processor reports. All three compute exactly the
// same integers: the tests compare them.
#include "nnue/nnue_internal.h"

#if defined(__x86_64__) && !defined(_WIN32)
// MinGW does not keep the stack aligned for 32-byte vectors, so Windows
// builds take the portable loops.
#define CORVANE_NNUE_X86 1
#include <immintrin.h>
#endif

namespace {

constexpr int H = NNUE_HIDDEN;

// The portable loops; in and out may be the same array.
void update_scalar(std::int16_t* out, const std::int16_t* in, const std::int16_t* const* added,
                   int added_count, const std::int16_t* const* removed, int removed_count) {
    for (int i = 0; i < H; ++i) {
        int v = in[i];
        for (int k = 0; k < added_count; ++k) v += added[k][i];
        for (int k = 0; k < removed_count; ++k) v -= removed[k][i];
        out[i] = std::int16_t(v);
    }
}

std::int64_t output_scalar(const std::int16_t* us, const std::int16_t* them, const std::int16_t* weights) {
    std::int64_t sum = 0;
    for (int half = 0; half < 2; ++half) {
        const std::int16_t* a = half == 0 ? us : them;
        const std::int16_t* w = weights + half * H;
        for (int i = 0; i < H; ++i) {
            const int c = a[i] < 0 ? 0 : a[i] > NNUE_QA ? NNUE_QA : a[i];
            sum += std::int64_t(c * w[i]) * c;
        }
    }
    return sum;
}

#ifdef CORVANE_NNUE_X86

// The squared clip in 16-bit lanes: clip(a) * w stays within 16 bits for
// every weight a network file may hold, and multiplying that by clip(a)
// again while adding pairs gives 32-bit lanes, whose sums stay far below
// overflow over 2 * NNUE_HIDDEN inputs.
static_assert(2 * NNUE_HIDDEN / 8 * 2 * std::int64_t(NNUE_QA) * NNUE_QA * NNUE_MAX_OUTPUT_WEIGHT < INT32_MAX);

// A move lifts and sets down one or two men: those counts get loops with
// nothing but the sums in them; a fresh sum of many rows takes the general one.
template <int Added, int Removed>
void update_sse2_fixed(std::int16_t* out, const std::int16_t* in, const std::int16_t* const* added,
                       const std::int16_t* const* removed) {
    for (int i = 0; i < H; i += 8) {
        __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(in + i));
        for (int k = 0; k < Added; ++k)
            v = _mm_add_epi16(v, _mm_load_si128(reinterpret_cast<const __m128i*>(added[k] + i)));
        for (int k = 0; k < Removed; ++k)
            v = _mm_sub_epi16(v, _mm_load_si128(reinterpret_cast<const __m128i*>(removed[k] + i)));
        _mm_store_si128(reinterpret_cast<__m128i*>(out + i), v);
    }
}

void update_sse2(std::int16_t* out, const std::int16_t* in, const std::int16_t* const* added, int added_count,
                 const std::int16_t* const* removed, int removed_count) {
    switch (added_count * 4 + removed_count) {
        case 1 * 4 + 1: return update_sse2_fixed<1, 1>(out, in, added, removed);
        case 1 * 4 + 2: return update_sse2_fixed<1, 2>(out, in, added, removed);
        case 2 * 4 + 2: return update_sse2_fixed<2, 2>(out, in, added, removed);
        default: break;
    }
    for (int i = 0; i < H; i += 8) {
        __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(in + i));
        for (int k = 0; k < added_count; ++k)
            v = _mm_add_epi16(v, _mm_load_si128(reinterpret_cast<const __m128i*>(added[k] + i)));
        for (int k = 0; k < removed_count; ++k)
            v = _mm_sub_epi16(v, _mm_load_si128(reinterpret_cast<const __m128i*>(removed[k] + i)));
        _mm_store_si128(reinterpret_cast<__m128i*>(out + i), v);
    }
}

std::int64_t output_sse2(const std::int16_t* us, const std::int16_t* them, const std::int16_t* weights) {
    const __m128i zero = _mm_setzero_si128(), top = _mm_set1_epi16(NNUE_QA);
    __m128i sum = _mm_setzero_si128();
    for (int half = 0; half < 2; ++half) {
        const std::int16_t* a = half == 0 ? us : them;
        const std::int16_t* w = weights + half * H;
        for (int i = 0; i < H; i += 8) {
            const __m128i c = _mm_min_epi16(
                _mm_max_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(a + i)), zero), top);
            const __m128i cw = _mm_mullo_epi16(c, _mm_load_si128(reinterpret_cast<const __m128i*>(w + i)));
            sum = _mm_add_epi32(sum, _mm_madd_epi16(cw, c));
        }
    }
    alignas(16) std::int32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sum);
    return std::int64_t(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
}

template <int Added, int Removed>
__attribute__((target("avx2"))) void update_avx2_fixed(std::int16_t* out, const std::int16_t* in,
                                                       const std::int16_t* const* added,
                                                       const std::int16_t* const* removed) {
    for (int i = 0; i < H; i += 16) {
        __m256i v = _mm256_load_si256(reinterpret_cast<const __m256i*>(in + i));
        for (int k = 0; k < Added; ++k)
            v = _mm256_add_epi16(v, _mm256_load_si256(reinterpret_cast<const __m256i*>(added[k] + i)));
        for (int k = 0; k < Removed; ++k)
            v = _mm256_sub_epi16(v, _mm256_load_si256(reinterpret_cast<const __m256i*>(removed[k] + i)));
        _mm256_store_si256(reinterpret_cast<__m256i*>(out + i), v);
    }
}

__attribute__((target("avx2"))) void update_avx2(std::int16_t* out, const std::int16_t* in,
                                                 const std::int16_t* const* added, int added_count,
                                                 const std::int16_t* const* removed, int removed_count) {
    switch (added_count * 4 + removed_count) {
        case 1 * 4 + 1: return update_avx2_fixed<1, 1>(out, in, added, removed);
        case 1 * 4 + 2: return update_avx2_fixed<1, 2>(out, in, added, removed);
        case 2 * 4 + 2: return update_avx2_fixed<2, 2>(out, in, added, removed);
        default: break;
    }
    for (int i = 0; i < H; i += 16) {
        __m256i v = _mm256_load_si256(reinterpret_cast<const __m256i*>(in + i));
        for (int k = 0; k < added_count; ++k)
            v = _mm256_add_epi16(v, _mm256_load_si256(reinterpret_cast<const __m256i*>(added[k] + i)));
        for (int k = 0; k < removed_count; ++k)
            v = _mm256_sub_epi16(v, _mm256_load_si256(reinterpret_cast<const __m256i*>(removed[k] + i)));
        _mm256_store_si256(reinterpret_cast<__m256i*>(out + i), v);
    }
}

__attribute__((target("avx2"))) std::int64_t output_avx2(const std::int16_t* us, const std::int16_t* them,
                                                         const std::int16_t* weights) {
    const __m256i zero = _mm256_setzero_si256(), top = _mm256_set1_epi16(NNUE_QA);
    __m256i sum = _mm256_setzero_si256();
    for (int half = 0; half < 2; ++half) {
        const std::int16_t* a = half == 0 ? us : them;
        const std::int16_t* w = weights + half * H;
        for (int i = 0; i < H; i += 16) {
            const __m256i c = _mm256_min_epi16(
                _mm256_max_epi16(_mm256_load_si256(reinterpret_cast<const __m256i*>(a + i)), zero), top);
            const __m256i cw =
                _mm256_mullo_epi16(c, _mm256_load_si256(reinterpret_cast<const __m256i*>(w + i)));
            sum = _mm256_add_epi32(sum, _mm256_madd_epi16(cw, c));
        }
    }
    alignas(32) std::int32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), sum);
    std::int64_t total = 0;
    for (const std::int32_t lane : lanes) total += lane;
    return total;
}

#endif

}  // namespace

const NnueKernels nnue_scalar_kernels = {update_scalar, output_scalar};
#ifdef CORVANE_NNUE_X86
const NnueKernels nnue_sse2_kernels = {update_sse2, output_sse2};
const NnueKernels nnue_avx2_kernels = {update_avx2, output_avx2};
#else
const NnueKernels nnue_sse2_kernels = nnue_scalar_kernels;
const NnueKernels nnue_avx2_kernels = nnue_scalar_kernels;
#endif

bool nnue_kernels_supported(NnueKernel kernel) {
    if (kernel == NNUE_SCALAR) return true;
#ifdef CORVANE_NNUE_X86
    if (kernel == NNUE_SSE2) return true;
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}
