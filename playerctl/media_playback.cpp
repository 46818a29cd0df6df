// A video whose level names real media: a decoder plays it, the model sends
// it commands and follows its reports.
#include <algorithm>

#include "playback_way.h"

namespace playerctl {

void MediaPlayback::Send(MediaCommand::Kind kind) {
    MediaCommand command;
    command.kind = kind;
    core_.Send(std::move(command));
}

void MediaPlayback::Open(bool play) {
    opened_ = true;
    report_ = MediaReport{};
    core_.startBytes = 0;
    frameAtPos_ = false;
    framesSinceOpen_ = false;
    openedAtMs_ = core_.nowMs;
    MediaCommand open;
    open.kind = MediaCommand::Kind::Open;
    open.path = core_.info.MediaOf(*core_.quality);
    open.contentType = core_.info.MediaTypeOf(*core_.quality);
    open.ms = core_.posMs;
    open.play = play;
    core_.Send(std::move(open));
    openSerial_ = core_.mediaSerial;
}

void MediaPlayback::Close() {
    if (opened_) Send(MediaCommand::Kind::Close);
    opened_ = false;
}

std::int64_t MediaPlayback::StreamSize() const {
    if (report_.sizeBytes > 0) return report_.sizeBytes;
    return core_.info.BytesOf(*core_.quality);
}

std::int64_t MediaPlayback::DurationSeconds() const {
    if (report_.durationMs > 0) return (report_.durationMs + 500) / 1000;
    return core_.info.lengthSeconds;
}

std::int64_t MediaPlayback::BytesLoaded() const {
    return std::clamp<std::int64_t>(report_.bytesFetched, 0, BytesTotal());
}

void MediaPlayback::Begin() {
    Open(true);
    core_.SetState(PlayerState::Buffering);
}

void MediaPlayback::Reopen(bool running) {
    // The other level's media, opened where the video stands.
    Open(running);
    if (running) core_.SetState(PlayerState::Buffering);
}

bool MediaPlayback::Advance(std::int64_t) {
    return !opened_ || framesSinceOpen_ || core_.nowMs - openedAtMs_ <= core_.options.firstFrameTimeoutMs;
}

void MediaPlayback::Play() {
    // A video loaded at its end has not opened its media yet.
    if (!opened_) {
        Begin();
        return;
    }
    if (core_.state == PlayerState::Ended) {
        Send(MediaCommand::Kind::Seek);
        frameAtPos_ = false;
    }
    Send(MediaCommand::Kind::Play);
    core_.SetState(frameAtPos_ ? PlayerState::Playing : PlayerState::Buffering);
}

void MediaPlayback::Pause() {
    if (opened_) Send(MediaCommand::Kind::Pause);
}

void MediaPlayback::Stop() {
    if (!opened_) return;
    Send(MediaCommand::Kind::Pause);
    Send(MediaCommand::Kind::Seek);
    frameAtPos_ = false;
}

void MediaPlayback::SeekTo(std::int64_t target, bool allowSeekAhead) {
    if (!opened_) {
        core_.posMs = target;
        Open(core_.state != PlayerState::Paused);
        if (core_.state != PlayerState::Paused) core_.SetState(PlayerState::Buffering);
        return;
    }
    // Where the bytes of a time lie is the container's business: the
    // decoder fetches what the seek needs, ahead or not.
    MediaCommand seek;
    seek.kind = MediaCommand::Kind::Seek;
    seek.ms = target;
    seek.seekAhead = allowSeekAhead;
    core_.Send(std::move(seek));
    core_.posMs = target;
    frameAtPos_ = false;
    if (core_.state == PlayerState::Paused) return;
    if (!core_.Running()) Send(MediaCommand::Kind::Play);
    core_.SetState(PlayerState::Buffering);
}

bool MediaPlayback::ApplyReport(const MediaReport& r) {
    // Reports from before the last open describe other media.
    if (!opened_ || r.serial < openSerial_) return true;
    if (r.failed) return false;
    report_ = r;
    core_.startBytes = std::clamp<std::int64_t>(r.startBytes, 0, StreamSize());
    if (r.durationMs > 0) core_.lengthMs = std::min(r.durationMs, kMaxLengthSeconds * 1000);
    framesSinceOpen_ = framesSinceOpen_ || r.showing;
    // Until the decoder has caught up with our last command, what it shows
    // is not what was asked for.
    if (r.serial != core_.mediaSerial) return true;
    frameAtPos_ = r.showing;
    std::int64_t position = std::clamp<std::int64_t>(r.positionMs, 0, core_.lengthMs);
    if (core_.state == PlayerState::Buffering) {
        if (r.ended) {
            core_.posMs = core_.lengthMs;
            core_.SetState(PlayerState::Ended);
        } else if (r.showing && !r.starved) {
            core_.posMs = position;
            core_.SetState(PlayerState::Playing);
        }
    } else if (core_.state == PlayerState::Playing) {
        core_.posMs = position;
        if (r.ended) {
            core_.posMs = core_.lengthMs;
            core_.SetState(PlayerState::Ended);
        } else if (r.starved) {
            core_.SetState(PlayerState::Buffering);
        }
    }
    return true;
}

}  // namespace playerctl
