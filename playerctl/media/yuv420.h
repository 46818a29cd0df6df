#pragma once
// Decoded pictures in the two 4:2:0 layouts decoders hand out, and their
// conversion to 32-bit BGRA: limited-range BT.601, as decoders give
// standard-definition and web video. No Windows header.
//
//   I420: a full-size luma plane, then U and V planes at half size both ways
//         (what the decoders give here on their own)
//   NV12: a full-size luma plane, then one plane of interleaved U and V

#include <cstddef>
#include <cstdint>
#include <optional>

namespace playerctl {

enum class PixelLayout { I420, NV12 };

struct Yuv420Frame {
    const std::uint8_t* luma = nullptr;
    const std::uint8_t* u = nullptr;
    const std::uint8_t* v = nullptr;  // NV12: u + 1
    int lumaStride = 0;               // bytes per row
    int chromaStride = 0;
    int chromaStep = 1;               // bytes from one U (or V) to the next in a row: 1, or 2 for NV12
    int width = 0;
    int height = 0;
};

// Where the planes of a `width` x `height` picture lie in a buffer of
// `length` bytes whose luma rows are `stride` bytes apart. Decoders may pad
// the luma plane to whole macroblocks; the padding is found from the length.
// Nothing when the buffer is too short for the picture.
std::optional<Yuv420Frame> LayOut(PixelLayout layout, const std::uint8_t* data, std::size_t length, int stride,
                                  int width, int height);

// `out` holds rows of width * 4 bytes, `outStride` apart, top row first,
// alpha 255. The fast path uses SSE2 where the compiler targets it and gives
// the same bytes as the scalar one, which stays as the reference.
void ToBgra(const Yuv420Frame& frame, std::uint8_t* out, std::ptrdiff_t outStride);
void ToBgraScalar(const Yuv420Frame& frame, std::uint8_t* out, std::ptrdiff_t outStride);

}  // namespace playerctl
