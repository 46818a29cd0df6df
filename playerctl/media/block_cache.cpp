#include "block_cache.h"

#include <algorithm>
#include <cstring>

namespace playerctl {

BlockCache::BlockCache(Fetch fetch, std::size_t blockSize, std::size_t maxBlocks)
    : fetch_(std::move(fetch)), blockSize_(std::max<std::size_t>(1, blockSize)),
      maxBlocks_(std::max<std::size_t>(2, maxBlocks)) {}

// Called with readMutex_ held; takes mutex_ only around the counts, never
// across the fetch.
const std::string* BlockCache::Block(std::int64_t index) {
    auto it = blocks_.find(index);
    if (it != blocks_.end()) {
        recent_.splice(recent_.begin(), recent_, it->second.second);
        return &it->second.first;
    }
    const std::int64_t size = KnownSize();
    std::int64_t first = index * static_cast<std::int64_t>(blockSize_);
    if (size >= 0 && first >= size) return nullptr;
    std::int64_t last = first + static_cast<std::int64_t>(blockSize_) - 1;
    if (size >= 0) last = std::min(last, size - 1);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++fetches_;
    }
    std::string body;
    std::int64_t total = -1;
    if (!fetch_ || !fetch_(first, last, body, total) || total <= first ||
        body.size() != static_cast<std::size_t>(std::min(last, total - 1) - first + 1) ||
        (size >= 0 && total != size))
        return nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        size_ = total;
        if (restart_) {
            restart_ = false;
            startBytes_ = first;
            fetched_ = 0;
        }
        fetched_ += static_cast<std::int64_t>(body.size());
    }
    if (blocks_.size() >= maxBlocks_) {
        blocks_.erase(recent_.back());
        recent_.pop_back();
    }
    recent_.push_front(index);
    auto& slot = blocks_[index];
    slot.first = std::move(body);
    slot.second = recent_.begin();
    return &slot.first;
}

bool BlockCache::Cancelled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelled_;
}

void BlockCache::SetLastReadFailed(bool failed) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastReadFailed_ = failed;
}

std::optional<std::int64_t> BlockCache::Size() {
    std::lock_guard<std::mutex> lock(readMutex_);
    if (Cancelled() || (KnownSize() < 0 && !Block(0))) return std::nullopt;
    return KnownSize();
}

std::optional<std::size_t> BlockCache::Read(std::int64_t offset, void* out, std::size_t count) {
    std::lock_guard<std::mutex> lock(readMutex_);
    if (offset < 0 || Cancelled()) return std::nullopt;
    // Failed until it has succeeded, so a fetch that throws counts as failed.
    SetLastReadFailed(true);
    auto* dest = static_cast<char*>(out);
    std::size_t done = 0;
    while (done < count) {
        std::int64_t at = offset + static_cast<std::int64_t>(done);
        std::int64_t size = KnownSize();
        if (size >= 0 && at >= size) break;
        std::int64_t index = at / static_cast<std::int64_t>(blockSize_);
        const std::string* block = Block(index);
        // Let go while it fetched: the reader has no use for the bytes.
        if (Cancelled()) return std::nullopt;
        if (!block) {
            size = KnownSize();
            if (size >= 0 && at >= size) break;
            return std::nullopt;
        }
        std::size_t within = static_cast<std::size_t>(at - index * static_cast<std::int64_t>(blockSize_));
        if (within >= block->size()) break;
        std::size_t n = std::min(count - done, block->size() - within);
        std::memcpy(dest + done, block->data() + within, n);
        done += n;
    }
    SetLastReadFailed(false);
    return done;
}

bool BlockCache::LastReadFailed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastReadFailed_;
}

void BlockCache::Cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
}

void BlockCache::RestartCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    restart_ = true;
}

std::int64_t BlockCache::BytesFetched() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fetched_;
}

std::int64_t BlockCache::StartBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return startBytes_;
}

std::int64_t BlockCache::KnownSize() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return size_;
}

int BlockCache::Fetches() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fetches_;
}

}  // namespace playerctl
