#include "playback.h"

#include <algorithm>
#include <cmath>

namespace playerctl {

namespace {

// What the player picks for "default" (and for names it does not know): a
// level that suits a window of ordinary size.
constexpr Quality kDefaultQuality = Quality::Medium;

std::int64_t SecondsToMs(double seconds) {
    if (!(seconds > 0)) return 0;  // also NaN
    if (seconds > 1e12) return static_cast<std::int64_t>(1e15);
    return std::llround(seconds * 1000.0);
}

}  // namespace

PlaybackModel::PlaybackModel(PlaybackOptions options) : options_(options) {
    options_.sliceMs = std::max<std::int64_t>(1, options_.sliceMs);
    options_.bufferAheadMs = std::max<std::int64_t>(0, options_.bufferAheadMs);
    if (!(options_.downloadSpeed > 0)) options_.downloadSpeed = 1;
}

std::vector<PlaybackEvent> PlaybackModel::TakeEvents() {
    std::vector<PlaybackEvent> out;
    out.swap(events_);
    return out;
}

std::vector<Quality> PlaybackModel::Levels() const {
    return hasInfo_ ? info_.levels : std::vector<Quality>{};
}

std::int64_t PlaybackModel::StreamSize() const {
    return quality_ ? info_.BytesOf(*quality_) : 0;
}

std::int64_t PlaybackModel::TimeAt(std::int64_t byte) const {
    std::int64_t size = StreamSize();
    if (size <= 0) return 0;
    if (byte >= size) return lengthMs_;
    return byte * lengthMs_ / size;
}

std::int64_t PlaybackModel::ByteAt(std::int64_t ms) const {
    if (lengthMs_ <= 0) return 0;
    if (ms >= lengthMs_) return StreamSize();
    return StreamSize() * ms / lengthMs_;
}

std::int64_t PlaybackModel::BytesTotal() const {
    return hasInfo_ ? StreamSize() - startBytes_ : 0;
}

std::int64_t PlaybackModel::BytesLoaded() const {
    if (!hasInfo_) return 0;
    std::int64_t total = BytesTotal();
    return std::min(total, bytesPerSecond_ * loadingMs_ / 1000);
}

std::int64_t PlaybackModel::LoadedStartMs() const { return hasInfo_ ? TimeAt(startBytes_) : 0; }

std::int64_t PlaybackModel::LoadedEndMs() const {
    return hasInfo_ ? TimeAt(startBytes_ + BytesLoaded()) : 0;
}

bool PlaybackModel::Covers(std::int64_t ms) const {
    return LoadedStartMs() <= ms && ms <= LoadedEndMs();
}

bool PlaybackModel::Buffered(std::int64_t ms) const {
    return Covers(ms) && LoadedEndMs() >= std::min(ms + options_.bufferAheadMs, lengthMs_);
}

Quality PlaybackModel::Pick(std::wstring_view name) const {
    Quality wanted = common::QualityFromName(name).value_or(kDefaultQuality);
    // Levels are held highest first: the first one not above the wish.
    for (Quality level : info_.levels) {
        if (level <= wanted) return level;
    }
    return info_.levels.back();
}

void PlaybackModel::RestartLoading(std::int64_t byte) {
    startBytes_ = std::clamp<std::int64_t>(byte, 0, StreamSize());
    loadingMs_ = 0;
}

void PlaybackModel::AddLoading(std::int64_t ms) {
    // Stop counting once the stream is in, so BytesLoaded() cannot overflow.
    std::int64_t needed = (BytesTotal() * 1000 + bytesPerSecond_ - 1) / bytesPerSecond_;
    loadingMs_ = std::min(loadingMs_ + std::min(ms, needed), needed);
}

void PlaybackModel::UpdateRate() {
    double playing = static_cast<double>(StreamSize()) / static_cast<double>(info_.lengthSeconds);
    bytesPerSecond_ = std::max<std::int64_t>(1, std::llround(options_.downloadSpeed * playing));
}

void PlaybackModel::SetState(PlayerState state, bool force) {
    if (state == state_ && !force) return;
    state_ = state;
    events_.push_back({PlaybackEvent::Kind::StateChange, static_cast<int>(state)});
}

void PlaybackModel::Sync(std::int64_t nowMs) {
    if (!clockStarted_) {
        clockStarted_ = true;
        lastMs_ = nowMs;
        return;
    }
    std::int64_t dt = nowMs - lastMs_;
    if (dt <= 0) return;
    lastMs_ = nowMs;
    if (!hasInfo_) return;
    while (dt > 0 && Running()) {
        std::int64_t slice = std::min(dt, options_.sliceMs);
        dt -= slice;
        AddLoading(slice);
        AdvancePlayback(slice);
    }
    if (dt > 0) AddLoading(dt);  // the download goes on while nothing plays
}

void PlaybackModel::AdvancePlayback(std::int64_t ms) {
    if (state_ == PlayerState::Playing) {
        posMs_ += ms;
        if (posMs_ >= lengthMs_) {
            posMs_ = lengthMs_;
            SetState(PlayerState::Ended);
            return;
        }
        std::int64_t loadedEnd = LoadedEndMs();
        if (loadedEnd < lengthMs_ && posMs_ >= loadedEnd) {
            posMs_ = loadedEnd;
            SetState(PlayerState::Buffering);
        }
    } else if (state_ == PlayerState::Buffering) {
        if (Buffered(posMs_)) SetState(PlayerState::Playing);
    }
}

void PlaybackModel::StartPlaying() {
    if (!Covers(posMs_)) RestartLoading(ByteAt(posMs_));
    SetState(Buffered(posMs_) ? PlayerState::Playing : PlayerState::Buffering);
}

std::uint64_t PlaybackModel::LoadVideo(std::wstring videoId, double startSeconds,
                                       std::wstring suggestedQuality) {
    hasVideo_ = true;
    infoPending_ = true;
    hasInfo_ = false;
    ++generation_;
    videoId_ = std::move(videoId);
    suggested_ = std::move(suggestedQuality);
    info_ = VideoInfo{};
    errorCode_ = 0;
    posMs_ = SecondsToMs(startSeconds);
    lengthMs_ = 0;
    quality_.reset();
    startBytes_ = 0;
    loadingMs_ = 0;
    // A new video always announces itself, even after another unstarted one.
    SetState(PlayerState::Unstarted, true);
    return generation_;
}

void PlaybackModel::ApplyInfo(std::uint64_t generation, const VideoInfo& info) {
    if (generation != generation_ || !infoPending_) return;
    infoPending_ = false;
    bool playable = info.ok && !info.levels.empty() && info.lengthSeconds > 0 &&
                    info.lengthSeconds <= kMaxLengthSeconds;
    for (Quality level : info.levels) {
        playable = playable && info.BytesOf(level) > 0 && info.BytesOf(level) <= kMaxVideoBytes;
    }
    if (!playable) {
        errorCode_ = info.ok || info.errorCode == 0 ? 100 : info.errorCode;
        events_.push_back({PlaybackEvent::Kind::Error, errorCode_});
        return;
    }
    hasInfo_ = true;
    info_ = info;
    lengthMs_ = info.lengthSeconds * 1000;
    quality_ = Pick(suggested_);
    events_.push_back({PlaybackEvent::Kind::QualityChange, 0, *quality_});
    UpdateRate();
    if (posMs_ >= lengthMs_) {
        posMs_ = lengthMs_;
        SetState(PlayerState::Ended);
        return;
    }
    RestartLoading(ByteAt(posMs_));
    StartPlaying();
}

void PlaybackModel::Play() {
    if (!hasInfo_ || Running()) return;
    if (state_ == PlayerState::Ended) posMs_ = 0;
    StartPlaying();
}

void PlaybackModel::Pause() {
    if (Running()) SetState(PlayerState::Paused);
}

void PlaybackModel::Stop() {
    if (!hasInfo_) return;
    posMs_ = 0;
    SetState(PlayerState::Cued);
}

void PlaybackModel::SeekTo(double seconds, bool allowSeekAhead) {
    if (!hasInfo_ || std::isnan(seconds)) return;
    std::int64_t target = std::min(SecondsToMs(seconds), lengthMs_);
    if (target >= lengthMs_) {
        posMs_ = lengthMs_;
        SetState(PlayerState::Ended);
        return;
    }
    if (!Covers(target)) {
        if (allowSeekAhead)
            RestartLoading(ByteAt(target));
        else
            target = std::clamp(target, LoadedStartMs(), LoadedEndMs());
    }
    posMs_ = target;
    switch (state_) {
    case PlayerState::Paused:
        break;
    case PlayerState::Playing:
    case PlayerState::Buffering:
        SetState(Buffered(posMs_) ? PlayerState::Playing : PlayerState::Buffering);
        break;
    default:
        StartPlaying();
        break;
    }
}

void PlaybackModel::SetQuality(std::wstring_view name) {
    if (!hasInfo_) return;
    Quality wanted = Pick(name);
    if (quality_ == wanted) return;
    quality_ = wanted;
    events_.push_back({PlaybackEvent::Kind::QualityChange, 0, wanted});
    UpdateRate();
    // Another stream: loading starts over where the video stands.
    RestartLoading(ByteAt(posMs_));
    if (Running())
        SetState(Buffered(posMs_) ? PlayerState::Playing : PlayerState::Buffering);
}

void PlaybackModel::SetVolume(double volume) {
    if (std::isnan(volume)) return;
    volume_ = static_cast<int>(std::lround(std::clamp(volume, 0.0, 100.0)));
}

}  // namespace playerctl
