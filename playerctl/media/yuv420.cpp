#include "yuv420.h"

#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PLAYERCTL_SSE2 1
#endif

namespace playerctl {

namespace {

// Fixed point, 8 fraction bits.
constexpr int kY = 298, kRV = 409, kGU = -100, kGV = -208, kBU = 516;

inline std::uint8_t Clip(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

struct Row {
    const std::uint8_t* y;
    const std::uint8_t* u;
    const std::uint8_t* v;
    int step;
};

void RowScalar(const Row& row, int from, int width, std::uint8_t* out) {
    for (int x = from; x < width; ++x) {
        int c = row.y[x] - 16;
        int d = row.u[(x / 2) * row.step] - 128;
        int e = row.v[(x / 2) * row.step] - 128;
        std::uint8_t* p = out + x * 4;
        p[0] = Clip((kY * c + kBU * d + 128) >> 8);
        p[1] = Clip((kY * c + kGU * d + kGV * e + 128) >> 8);
        p[2] = Clip((kY * c + kRV * e + 128) >> 8);
        p[3] = 255;
    }
}

#ifdef PLAYERCTL_SSE2
inline __m128i Pair(int low, int high) {
    return _mm_set1_epi32(static_cast<int>((static_cast<unsigned>(high) << 16) | (static_cast<unsigned>(low) & 0xFFFF)));
}

// Four pixels: c32 holds luma - 16 in the low half of each lane, pairs the
// chroma (U low, V high, each - 128) of each pixel. Gives B, G, R as 32-bit.
inline void Four(__m128i c32, __m128i pairs, __m128i& b, __m128i& g, __m128i& r) {
    const __m128i highMask = _mm_set1_epi32(static_cast<int>(0xFFFF0000u));
    const __m128i round = _mm_set1_epi32(128);
    __m128i vOnly = _mm_and_si128(pairs, highMask);
    __m128i cu = _mm_or_si128(c32, _mm_slli_epi32(pairs, 16));
    __m128i cv = _mm_or_si128(c32, vOnly);
    b = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(cu, Pair(kY, kBU)), round), 8);
    g = _mm_srai_epi32(
        _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(cu, Pair(kY, kGU)), _mm_madd_epi16(vOnly, Pair(0, kGV))), round), 8);
    r = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(cv, Pair(kY, kRV)), round), 8);
}

// The U, V pairs of eight pixels (four of each), interleaved as NV12 keeps them.
inline __m128i ChromaPairs(const Row& row, int x) {
    if (row.step == 2) return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row.u + x));
    int u, v;
    std::memcpy(&u, row.u + x / 2, 4);
    std::memcpy(&v, row.v + x / 2, 4);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(u), _mm_cvtsi32_si128(v));
}

void RowSse2(const Row& row, int width, std::uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i sixteen = _mm_set1_epi16(16);
    const __m128i half = _mm_set1_epi16(128);
    const __m128i alpha = _mm_set1_epi8(static_cast<char>(0xFF));
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        __m128i c16 = _mm_sub_epi16(
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row.y + x)), zero), sixteen);
        __m128i uv16 = _mm_sub_epi16(_mm_unpacklo_epi8(ChromaPairs(row, x), zero), half);
        __m128i b0, g0, r0, b1, g1, r1;
        Four(_mm_unpacklo_epi16(c16, zero), _mm_unpacklo_epi32(uv16, uv16), b0, g0, r0);
        Four(_mm_unpackhi_epi16(c16, zero), _mm_unpackhi_epi32(uv16, uv16), b1, g1, r1);
        __m128i b8 = _mm_packus_epi16(_mm_packs_epi32(b0, b1), zero);
        __m128i g8 = _mm_packus_epi16(_mm_packs_epi32(g0, g1), zero);
        __m128i r8 = _mm_packus_epi16(_mm_packs_epi32(r0, r1), zero);
        __m128i bg = _mm_unpacklo_epi8(b8, g8);
        __m128i ra = _mm_unpacklo_epi8(r8, alpha);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x * 4), _mm_unpacklo_epi16(bg, ra));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x * 4 + 16), _mm_unpackhi_epi16(bg, ra));
    }
    RowScalar(row, x, width, out);
}
#endif

Row RowOf(const Yuv420Frame& f, int row) {
    std::ptrdiff_t chroma = static_cast<std::ptrdiff_t>(row / 2) * f.chromaStride;
    return {f.luma + static_cast<std::ptrdiff_t>(row) * f.lumaStride, f.u + chroma, f.v + chroma, f.chromaStep};
}

}  // namespace

std::optional<Yuv420Frame> LayOut(PixelLayout layout, const std::uint8_t* data, std::size_t length, int stride,
                                  int width, int height) {
    if (!data || width <= 0 || height <= 0 || stride < width) return std::nullopt;
    const std::int64_t size = static_cast<std::int64_t>(length);
    const std::int64_t chromaRows = (height + 1) / 2;
    // The luma plane's rows, padding included: a 4:2:0 buffer is 3/2 of it.
    std::int64_t planeHeight = size * 2 / (3 * static_cast<std::int64_t>(stride));
    if (planeHeight < height) planeHeight = height;
    Yuv420Frame f;
    f.luma = data;
    f.lumaStride = stride;
    f.width = width;
    f.height = height;
    const std::uint8_t* chroma = data + stride * planeHeight;
    std::int64_t needed;
    if (layout == PixelLayout::NV12) {
        f.u = chroma;
        f.v = chroma + 1;
        f.chromaStride = stride;
        f.chromaStep = 2;
        needed = stride * planeHeight + static_cast<std::int64_t>(stride) * chromaRows;
    } else {
        f.chromaStride = (stride + 1) / 2;
        f.chromaStep = 1;
        const std::int64_t chromaPlane = f.chromaStride * ((planeHeight + 1) / 2);
        f.u = chroma;
        f.v = chroma + chromaPlane;
        needed = stride * planeHeight + chromaPlane + f.chromaStride * chromaRows;
    }
    if (size < needed) return std::nullopt;
    return f;
}

void ToBgraScalar(const Yuv420Frame& f, std::uint8_t* out, std::ptrdiff_t outStride) {
    for (int row = 0; row < f.height; ++row) RowScalar(RowOf(f, row), 0, f.width, out + row * outStride);
}

void ToBgra(const Yuv420Frame& f, std::uint8_t* out, std::ptrdiff_t outStride) {
#ifdef PLAYERCTL_SSE2
    for (int row = 0; row < f.height; ++row) RowSse2(RowOf(f, row), f.width, out + row * outStride);
#else
    ToBgraScalar(f, out, outStride);
#endif
}

}  // namespace playerctl
