#pragma once
// Random reads of a remote resource in fixed blocks, each fetched once and
// kept while it is among the most recently used. Counts what it fetched: the
// player's bytes loaded and start bytes. No Windows header; the fetch is
// handed in (HTTP Range requests in the product).
//
// Reads wait for each other, and a read may wait for a fetch for as long as
// the host takes (seconds, when it stalls). Everything else answers at once,
// fetch or no fetch: the decode thread reports the counts while the window
// waits for its report, and the window cancels a cache it lets go.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace playerctl {

class BlockCache {
public:
    // Fetches bytes first..last (both included; the last block may come
    // back shorter at the end) and the whole resource's size. False when it
    // failed.
    using Fetch = std::function<bool(std::int64_t first, std::int64_t last, std::string& body, std::int64_t& total)>;

    static constexpr std::size_t kDefaultBlock = 256 * 1024;
    static constexpr std::size_t kDefaultBlocks = 48;

    explicit BlockCache(Fetch fetch, std::size_t blockSize = kDefaultBlock, std::size_t maxBlocks = kDefaultBlocks);

    // The resource's size, fetching the first block if nothing is known yet.
    std::optional<std::int64_t> Size();

    // Copies up to `count` bytes at `offset` into `out`; returns how many (0
    // at or past the end), or nullopt when a fetch failed.
    std::optional<std::size_t> Read(std::int64_t offset, void* out, std::size_t count);

    // The next fetch starts a new count at its own offset (a seek ahead).
    void RestartCount();

    // Whether the latest Read failed on a fetch (one that threw included). A
    // media stack may take a failed read for the end of the stream; this
    // tells the two apart.
    bool LastReadFailed() const;

    // Every read from now on fails at once (its reader has been let go).
    void Cancel();

    std::int64_t BytesFetched() const;
    std::int64_t StartBytes() const;
    std::int64_t KnownSize() const;  // -1 before the first fetch
    int Fetches() const;

private:
    const std::string* Block(std::int64_t index);
    bool Cancelled() const;
    void SetLastReadFailed(bool failed);

    Fetch fetch_;
    std::size_t blockSize_;
    std::size_t maxBlocks_;
    // Held by a read, across its fetches: the blocks.
    std::mutex readMutex_;
    std::list<std::int64_t> recent_;  // most recent first
    std::unordered_map<std::int64_t, std::pair<std::string, std::list<std::int64_t>::iterator>> blocks_;
    // Never held across a fetch: the size, the counts and the flags.
    mutable std::mutex mutex_;
    std::int64_t size_ = -1;
    std::int64_t fetched_ = 0;
    std::int64_t startBytes_ = 0;
    bool restart_ = false;
    bool cancelled_ = false;
    bool lastReadFailed_ = false;
    int fetches_ = 0;
};

}  // namespace playerctl
