// A video that plays by the clock alone: bytes arrive at a multiple of the
// rate it plays at, and playing waits for them.
#include <algorithm>
#include <cmath>

#include "playback_way.h"

namespace playerctl {

void PlaybackCore::SetState(PlayerState s, bool force) {
    if (s == state && !force) return;
    state = s;
    events.push_back({PlaybackEvent::Kind::StateChange, static_cast<int>(s)});
}

void PlaybackCore::Send(MediaCommand command) {
    command.serial = ++mediaSerial;
    mediaCommands.push_back(std::move(command));
}

std::int64_t PlaybackWay::TimeAt(std::int64_t byte) const {
    std::int64_t size = StreamSize();
    if (size <= 0) return 0;
    if (byte >= size) return core_.lengthMs;
    return byte * core_.lengthMs / size;
}

std::int64_t PlaybackWay::ByteAt(std::int64_t ms) const {
    if (core_.lengthMs <= 0) return 0;
    if (ms >= core_.lengthMs) return StreamSize();
    return StreamSize() * ms / core_.lengthMs;
}

SimulatedPlayback::SimulatedPlayback(PlaybackCore& core) : PlaybackWay(core) {
    double size = static_cast<double>(core_.info.BytesOf(*core_.quality));
    double playing = size / static_cast<double>(core_.info.lengthSeconds);
    bytesPerSecond_ = std::max<std::int64_t>(1, std::llround(core_.options.downloadSpeed * playing));
}

std::int64_t SimulatedPlayback::StreamSize() const {
    return core_.quality ? core_.info.BytesOf(*core_.quality) : 0;
}

std::int64_t SimulatedPlayback::BytesLoaded() const {
    return std::min(BytesTotal(), bytesPerSecond_ * loadingMs_ / 1000);
}

bool SimulatedPlayback::Covers(std::int64_t ms) const { return LoadedStartMs() <= ms && ms <= LoadedEndMs(); }

bool SimulatedPlayback::Buffered(std::int64_t ms) const {
    return Covers(ms) && LoadedEndMs() >= std::min(ms + core_.options.bufferAheadMs, core_.lengthMs);
}

void SimulatedPlayback::RestartLoading(std::int64_t byte) {
    core_.startBytes = std::clamp<std::int64_t>(byte, 0, StreamSize());
    loadingMs_ = 0;
}

void SimulatedPlayback::AddLoading(std::int64_t ms) {
    // Stop counting once the stream is in, so BytesLoaded() cannot overflow.
    std::int64_t needed = (BytesTotal() * 1000 + bytesPerSecond_ - 1) / bytesPerSecond_;
    loadingMs_ = std::min(loadingMs_ + std::min(ms, needed), needed);
}

void SimulatedPlayback::StartPlaying() {
    if (!Covers(core_.posMs)) RestartLoading(ByteAt(core_.posMs));
    core_.SetState(Buffered(core_.posMs) ? PlayerState::Playing : PlayerState::Buffering);
}

void SimulatedPlayback::Begin() {
    RestartLoading(ByteAt(core_.posMs));
    StartPlaying();
}

void SimulatedPlayback::Reopen(bool running) {
    // Another stream: loading starts over where the video stands.
    RestartLoading(ByteAt(core_.posMs));
    if (running) core_.SetState(Buffered(core_.posMs) ? PlayerState::Playing : PlayerState::Buffering);
}

bool SimulatedPlayback::Advance(std::int64_t dt) {
    while (dt > 0 && core_.Running()) {
        std::int64_t slice = std::min(dt, core_.options.sliceMs);
        dt -= slice;
        AddLoading(slice);
        AdvancePlayback(slice);
    }
    if (dt > 0) AddLoading(dt);  // the download goes on while nothing plays
    return true;
}

void SimulatedPlayback::AdvancePlayback(std::int64_t ms) {
    if (core_.state == PlayerState::Playing) {
        core_.posMs += ms;
        if (core_.posMs >= core_.lengthMs) {
            core_.posMs = core_.lengthMs;
            core_.SetState(PlayerState::Ended);
            return;
        }
        std::int64_t loadedEnd = LoadedEndMs();
        if (loadedEnd < core_.lengthMs && core_.posMs >= loadedEnd) {
            core_.posMs = loadedEnd;
            core_.SetState(PlayerState::Buffering);
        }
    } else if (core_.state == PlayerState::Buffering) {
        if (Buffered(core_.posMs)) core_.SetState(PlayerState::Playing);
    }
}

void SimulatedPlayback::Play() { StartPlaying(); }

void SimulatedPlayback::SeekTo(std::int64_t target, bool allowSeekAhead) {
    if (!Covers(target)) {
        if (allowSeekAhead)
            RestartLoading(ByteAt(target));
        else
            target = std::clamp(target, LoadedStartMs(), LoadedEndMs());
    }
    core_.posMs = target;
    switch (core_.state) {
    case PlayerState::Paused:
        break;
    case PlayerState::Playing:
    case PlayerState::Buffering:
        core_.SetState(Buffered(core_.posMs) ? PlayerState::Playing : PlayerState::Buffering);
        break;
    default:
        StartPlaying();
        break;
    }
}

}  // namespace playerctl
