#pragma once
// Media on the player host read in blocks with HTTP Range requests through
// WinINet, as an IStream for Media Foundation (Wine's has no http: scheme
// handler). Internal to playerctl.

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>
#include <string>

#include "block_cache.h"

namespace playerctl {

struct MediaLocation {
    std::wstring host;
    std::uint16_t port = 80;
    std::wstring path;  // starts with '/'
};

// A cache whose blocks come from Range GETs of `where`, on one WinINet
// session kept for its life.
std::shared_ptr<BlockCache> MakeRangeCache(const MediaLocation& where);

// A new read-only stream over the cache; null when there is no memory for it.
// Its methods never let an exception out: a fetch that throws fails the read.
Microsoft::WRL::ComPtr<IStream> MakeCacheStream(std::shared_ptr<BlockCache> cache);

}  // namespace playerctl
