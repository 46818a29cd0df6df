#include "playback.h"

#include <algorithm>
#include <cmath>

#include "playback_way.h"

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

PlaybackModel::PlaybackModel(PlaybackOptions options) : core_(std::make_unique<PlaybackCore>()) {
    options.sliceMs = std::max<std::int64_t>(1, options.sliceMs);
    options.bufferAheadMs = std::max<std::int64_t>(0, options.bufferAheadMs);
    if (!(options.downloadSpeed > 0)) options.downloadSpeed = 1;
    core_->options = options;
}

PlaybackModel::~PlaybackModel() = default;
PlaybackModel::PlaybackModel(PlaybackModel&&) noexcept = default;
PlaybackModel& PlaybackModel::operator=(PlaybackModel&&) noexcept = default;

std::vector<PlaybackEvent> PlaybackModel::TakeEvents() {
    std::vector<PlaybackEvent> out;
    out.swap(core_->events);
    return out;
}

std::vector<MediaCommand> PlaybackModel::TakeMediaCommands() {
    std::vector<MediaCommand> out;
    out.swap(core_->mediaCommands);
    return out;
}

PlayerState PlaybackModel::State() const { return core_->state; }
const std::wstring& PlaybackModel::Title() const { return core_->info.title; }
std::uint32_t PlaybackModel::Color() const { return core_->info.color; }
std::optional<Quality> PlaybackModel::CurrentQuality() const { return core_->quality; }
std::int64_t PlaybackModel::PositionMs() const { return core_->posMs; }
bool PlaybackModel::UsesMedia() const { return way_ && way_->UsesMedia(); }
bool PlaybackModel::Running() const { return way_ && core_->Running(); }

std::vector<Quality> PlaybackModel::Levels() const { return way_ ? core_->info.levels : std::vector<Quality>{}; }
std::int64_t PlaybackModel::LengthMs() const { return way_ ? core_->lengthMs : 0; }
std::int64_t PlaybackModel::StartBytes() const { return way_ ? core_->startBytes : 0; }
std::int64_t PlaybackModel::DurationSeconds() const { return way_ ? way_->DurationSeconds() : 0; }
std::int64_t PlaybackModel::BytesTotal() const { return way_ ? way_->BytesTotal() : 0; }
std::int64_t PlaybackModel::BytesLoaded() const { return way_ ? way_->BytesLoaded() : 0; }
std::int64_t PlaybackModel::LoadedStartMs() const { return way_ ? way_->LoadedStartMs() : 0; }
std::int64_t PlaybackModel::LoadedEndMs() const { return way_ ? way_->LoadedEndMs() : 0; }

Quality PlaybackModel::Pick(std::wstring_view name) const {
    Quality wanted = common::QualityFromName(name).value_or(kDefaultQuality);
    // Levels are held highest first: the first one not above the wish.
    for (Quality level : core_->info.levels) {
        if (level <= wanted) return level;
    }
    return core_->info.levels.back();
}

void PlaybackModel::UseWayOf(Quality level) {
    bool media = !core_->info.MediaOf(level).empty();
    if (way_ && !(media && way_->UsesMedia())) way_->Close();
    if (media)
        way_ = std::make_unique<MediaPlayback>(*core_);
    else
        way_ = std::make_unique<SimulatedPlayback>(*core_);
}

void PlaybackModel::Sync(std::int64_t nowMs) {
    if (!clockStarted_) {
        clockStarted_ = true;
        core_->nowMs = nowMs;
        return;
    }
    std::int64_t dt = nowMs - core_->nowMs;
    if (dt <= 0) return;
    core_->nowMs = nowMs;
    if (way_ && !way_->Advance(dt)) FailMedia();
}

std::uint64_t PlaybackModel::LoadVideo(std::wstring videoId, double startSeconds, std::wstring suggestedQuality) {
    if (way_) way_->Close();
    way_.reset();
    hasVideo_ = true;
    infoPending_ = true;
    ++generation_;
    videoId_ = std::move(videoId);
    suggested_ = std::move(suggestedQuality);
    core_->info = VideoInfo{};
    errorCode_ = 0;
    core_->posMs = SecondsToMs(startSeconds);
    core_->lengthMs = 0;
    core_->quality.reset();
    core_->startBytes = 0;
    // A new video always announces itself, even after another unstarted one.
    core_->SetState(PlayerState::Unstarted, true);
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
        core_->events.push_back({PlaybackEvent::Kind::Error, errorCode_});
        return;
    }
    core_->info = info;
    core_->lengthMs = info.lengthSeconds * 1000;
    core_->quality = Pick(suggested_);
    core_->events.push_back({PlaybackEvent::Kind::QualityChange, 0, *core_->quality});
    UseWayOf(*core_->quality);
    if (core_->posMs >= core_->lengthMs) {
        core_->posMs = core_->lengthMs;
        core_->SetState(PlayerState::Ended);
        return;
    }
    way_->Begin();
}

void PlaybackModel::ApplyMediaReport(const MediaReport& report) {
    if (way_ && !way_->ApplyReport(report)) FailMedia();
}

void PlaybackModel::FailMedia() {
    way_->Close();
    // Like a video that never had usable info: the error card, nothing to play.
    way_.reset();
    errorCode_ = kMediaErrorCode;
    core_->events.push_back({PlaybackEvent::Kind::Error, errorCode_});
}

void PlaybackModel::Play() {
    if (!way_ || Running()) return;
    if (core_->state == PlayerState::Ended) core_->posMs = 0;
    way_->Play();
}

void PlaybackModel::Pause() {
    if (!Running()) return;
    way_->Pause();
    core_->SetState(PlayerState::Paused);
}

void PlaybackModel::Stop() {
    if (!way_) return;
    way_->Stop();
    core_->posMs = 0;
    core_->SetState(PlayerState::Cued);
}

void PlaybackModel::SeekTo(double seconds, bool allowSeekAhead) {
    if (!way_ || std::isnan(seconds)) return;
    std::int64_t target = std::min(SecondsToMs(seconds), core_->lengthMs);
    if (target >= core_->lengthMs) {
        way_->Pause();
        core_->posMs = core_->lengthMs;
        core_->SetState(PlayerState::Ended);
        return;
    }
    way_->SeekTo(target, allowSeekAhead);
}

void PlaybackModel::SetQuality(std::wstring_view name) {
    if (!way_) return;
    Quality wanted = Pick(name);
    if (core_->quality == wanted) return;
    core_->quality = wanted;
    core_->events.push_back({PlaybackEvent::Kind::QualityChange, 0, wanted});
    bool running = Running();
    UseWayOf(wanted);
    way_->Reopen(running);
}

void PlaybackModel::SetVolume(double volume) {
    if (std::isnan(volume)) return;
    volume_ = static_cast<int>(std::lround(std::clamp(volume, 0.0, 100.0)));
}

}  // namespace playerctl
