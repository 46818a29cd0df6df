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

MediaCommand Command(MediaCommand::Kind kind) {
    MediaCommand command;
    command.kind = kind;
    return command;
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
    if (media_ && report_.sizeBytes > 0) return report_.sizeBytes;
    return quality_ ? info_.BytesOf(*quality_) : 0;
}

std::int64_t PlaybackModel::DurationSeconds() const {
    if (!hasInfo_) return 0;
    if (media_ && report_.durationMs > 0) return (report_.durationMs + 500) / 1000;
    return info_.lengthSeconds;
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
    if (media_) return std::clamp<std::int64_t>(report_.bytesFetched, 0, total);
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
    if (media_) {
        if (!framesSinceOpen_ && lastMs_ - openedAtMs_ > options_.firstFrameTimeoutMs) FailMedia();
        return;
    }
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
    CloseMedia();
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
    if (!info_.MediaOf(*quality_).empty()) {
        OpenMedia(true);
        SetState(PlayerState::Buffering);
        return;
    }
    RestartLoading(ByteAt(posMs_));
    StartPlaying();
}

std::vector<MediaCommand> PlaybackModel::TakeMediaCommands() {
    std::vector<MediaCommand> out;
    out.swap(mediaCommands_);
    return out;
}

void PlaybackModel::SendMedia(MediaCommand command) {
    command.serial = ++mediaSerial_;
    mediaCommands_.push_back(std::move(command));
}

void PlaybackModel::OpenMedia(bool play) {
    media_ = true;
    report_ = MediaReport{};
    startBytes_ = 0;
    frameAtPos_ = false;
    framesSinceOpen_ = false;
    openedAtMs_ = lastMs_;
    MediaCommand open;
    open.kind = MediaCommand::Kind::Open;
    open.path = info_.MediaOf(*quality_);
    open.contentType = info_.MediaTypeOf(*quality_);
    open.ms = posMs_;
    open.play = play;
    SendMedia(std::move(open));
    openSerial_ = mediaSerial_;
}

void PlaybackModel::CloseMedia() {
    if (!media_) return;
    SendMedia(Command(MediaCommand::Kind::Close));
    media_ = false;
    report_ = MediaReport{};
}

void PlaybackModel::FailMedia() {
    CloseMedia();
    // Like a video that never had usable info: the error card, nothing to play.
    hasInfo_ = false;
    errorCode_ = kMediaErrorCode;
    events_.push_back({PlaybackEvent::Kind::Error, errorCode_});
}

void PlaybackModel::ApplyMediaReport(const MediaReport& r) {
    // Reports from before the last open describe other media.
    if (!media_ || r.serial < openSerial_) return;
    if (r.failed) {
        FailMedia();
        return;
    }
    report_ = r;
    startBytes_ = std::clamp<std::int64_t>(r.startBytes, 0, StreamSize());
    if (r.durationMs > 0) lengthMs_ = std::min(r.durationMs, kMaxLengthSeconds * 1000);
    framesSinceOpen_ = framesSinceOpen_ || r.showing;
    // Until the decoder has caught up with our last command, what it shows
    // is not what was asked for.
    if (r.serial != mediaSerial_) return;
    frameAtPos_ = r.showing;
    std::int64_t position = std::clamp<std::int64_t>(r.positionMs, 0, lengthMs_);
    if (state_ == PlayerState::Buffering) {
        if (r.ended) {
            posMs_ = lengthMs_;
            SetState(PlayerState::Ended);
        } else if (r.showing && !r.starved) {
            posMs_ = position;
            SetState(PlayerState::Playing);
        }
    } else if (state_ == PlayerState::Playing) {
        posMs_ = position;
        if (r.ended) {
            posMs_ = lengthMs_;
            SetState(PlayerState::Ended);
        } else if (r.starved) {
            SetState(PlayerState::Buffering);
        }
    }
}

void PlaybackModel::Play() {
    if (!hasInfo_ || Running()) return;
    if (state_ == PlayerState::Ended) posMs_ = 0;
    if (media_) {
        if (state_ == PlayerState::Ended) {
            SendMedia(Command(MediaCommand::Kind::Seek));
            frameAtPos_ = false;
        }
        SendMedia(Command(MediaCommand::Kind::Play));
        SetState(frameAtPos_ ? PlayerState::Playing : PlayerState::Buffering);
        return;
    }
    StartPlaying();
}

void PlaybackModel::Pause() {
    if (!Running()) return;
    if (media_) SendMedia(Command(MediaCommand::Kind::Pause));
    SetState(PlayerState::Paused);
}

void PlaybackModel::Stop() {
    if (!hasInfo_) return;
    if (media_) {
        SendMedia(Command(MediaCommand::Kind::Pause));
        SendMedia(Command(MediaCommand::Kind::Seek));
        frameAtPos_ = false;
    }
    posMs_ = 0;
    SetState(PlayerState::Cued);
}

void PlaybackModel::SeekTo(double seconds, bool allowSeekAhead) {
    if (!hasInfo_ || std::isnan(seconds)) return;
    std::int64_t target = std::min(SecondsToMs(seconds), lengthMs_);
    if (target >= lengthMs_) {
        if (media_) SendMedia(Command(MediaCommand::Kind::Pause));
        posMs_ = lengthMs_;
        SetState(PlayerState::Ended);
        return;
    }
    if (media_) {
        // Where the bytes of a time lie is the container's business: the
        // decoder fetches what the seek needs, ahead or not.
        MediaCommand seek = Command(MediaCommand::Kind::Seek);
        seek.ms = target;
        seek.seekAhead = allowSeekAhead;
        SendMedia(std::move(seek));
        posMs_ = target;
        frameAtPos_ = false;
        if (state_ == PlayerState::Paused) return;
        if (!Running()) SendMedia(Command(MediaCommand::Kind::Play));
        SetState(PlayerState::Buffering);
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
    if (!info_.MediaOf(wanted).empty()) {
        // The other level's media, opened where the video stands.
        bool running = Running();
        OpenMedia(running);
        if (running) SetState(PlayerState::Buffering);
        return;
    }
    CloseMedia();
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
