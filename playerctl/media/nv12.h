#pragma once
// NV12 (a full-size luma plane, then one plane of interleaved U and V at half
// size both ways) to 32-bit BGRA, limited-range BT.601 as decoders hand out
// standard-definition and web video. No Windows header.

#include <cstdint>

namespace playerctl {

struct Nv12Frame {
    const std::uint8_t* luma = nullptr;
    const std::uint8_t* chroma = nullptr;  // interleaved U, V
    int stride = 0;                         // bytes per row of both planes
    int width = 0;
    int height = 0;
};

// `out` holds width * height pixels, top row first, alpha 255. The fast path
// uses SSE2 where the compiler targets it and gives the same bytes as the
// scalar one, which stays as the reference.
void Nv12ToBgra(const Nv12Frame& frame, std::uint8_t* out);
void Nv12ToBgraScalar(const Nv12Frame& frame, std::uint8_t* out);

}  // namespace playerctl
