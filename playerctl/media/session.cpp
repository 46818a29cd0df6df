#include "session.h"

#include <algorithm>

namespace playerctl {

namespace {

// A frame this much behind its time means the bytes or the decoder did not
// keep up: the clock waits for the picture instead of running away from it.
constexpr std::int64_t kLateMs = 300;
// The decode thread tops up the device at least this often while it plays.
constexpr std::int64_t kAudioNapMs = 10;

}  // namespace

void Session::Carry(std::shared_ptr<BlockCache> cache, const MediaCommand& c) {
    switch (c.kind) {
    case MediaCommand::Kind::Open:
        Close();
        if (!Open(std::move(cache), c)) failed_ = true;
        break;
    case MediaCommand::Kind::Close:
        Close();
        break;
    case MediaCommand::Kind::Play:
        if (!playing_) {
            playing_ = true;
            clock_.Rebase(clock_.Base());
        }
        break;
    case MediaCommand::Kind::Pause:
        if (playing_) {
            std::int64_t at = ClockMs();
            if (sound_) sound_->Stop();
            playing_ = false;
            clock_.Rebase(durationMs_ > 0 ? std::min(at, durationMs_) : at);
        }
        break;
    case MediaCommand::Kind::Seek:
        Seek(c.ms, c.seekAhead);
        break;
    }
}

// While the device has sound of ours to play, its position is the time;
// otherwise (no device, sound ended or ran dry) the steady clock goes on
// from the last reading.
std::int64_t Session::ClockMs() {
    if (!playing_) {
        stats_.clockFromAudio = false;
        return clock_.Base();
    }
    if (sound_) {
        if (std::optional<std::int64_t> ms = sound_->ClockMs(clock_, stats_)) return *ms;
    }
    stats_.clockFromAudio = false;
    return clock_.Now();
}

std::int64_t Session::Work() {
    if (!reader_ || failed_ || ended_) return -1;
    bool read = WantsRead();
    if (read) {
        Read();
        if (failed_) return -1;
    }
    if (sound_) FeedSound();
    if (read && !pending_ && !eos_) return 0;
    std::int64_t wait = WorkVideo();
    if (!sound_ || ended_ || failed_) return wait;
    if (WantsRead()) return 0;
    if (!playing_) return wait;
    return wait < 0 ? kAudioNapMs : std::min(wait, kAudioNapMs);
}

std::int64_t Session::WorkVideo() {
    if (pending_) {
        if (needFirst_) {
            needFirst_ = false;
            clock_.Rebase(pendingMs_);
            // A seek may land on the key frame after its target: the sound
            // starts with the picture.
            soundFromMs_ = std::max(soundFromMs_, pendingMs_);
            Show();
            return 0;
        }
        if (!playing_) return -1;
        std::int64_t now = ClockMs();
        if (now + 1 < pendingMs_) return pendingMs_ - now;
        starved_ = now - pendingMs_ > kLateMs;
        if (starved_) clock_.Rebase(pendingMs_);
        Show();
        return 0;
    }
    // The stream is at its end: the last picture stays for its time.
    if (needFirst_) {
        needFirst_ = false;
        showing_ = true;
    }
    if (!playing_) return -1;
    std::int64_t end = durationMs_ > 0 ? std::clamp(durationMs_, lastShownMs_, lastShownMs_ + 1000) : lastShownMs_;
    std::int64_t now = ClockMs();
    if (now < end) return end - now;
    if (sound_) sound_->Stop();
    playing_ = false;
    clock_.Rebase(end);
    ended_ = true;
    return -1;
}

// Writes what the device has room for and starts it once playing.
void Session::FeedSound() {
    // The first frame after an open or seek decides where the sound starts.
    if (needFirst_) return;
    if (sound_->Feed(offset_, soundFromMs_, gain_, playing_, stats_)) return;
    // The device went away: the steady clock takes over, silently, and the
    // sound stream is read no more.
    clock_.Rebase(ClockMs());
    reader_->SetStreamSelection(sound_->AudioIndex(), FALSE);
    sound_.reset();
    stats_.device = false;
}

void Session::Flush() {
    pending_.Reset();
    later_.clear();
    if (sound_) sound_->Flush();
    emptyReads_ = 0;
}

void Session::Close() {
    Flush();
    reader_.Reset();
    cache_.reset();
    Session fresh;
    fresh.frames_ = frames_;
    fresh.serial_ = serial_;
    *this = std::move(fresh);
}

MediaReport Session::Report() {
    MediaReport r{.serial = serial_,
                  .failed = failed_,
                  .durationMs = durationMs_,
                  .showing = showing_,
                  .starved = starved_,
                  .ended = ended_,
                  .positionMs = ClockMs()};
    if (durationMs_ > 0) r.positionMs = std::min(r.positionMs, durationMs_);
    if (cache_) {
        r.bytesFetched = cache_->BytesFetched();
        r.startBytes = cache_->StartBytes();
        r.sizeBytes = std::max<std::int64_t>(0, cache_->KnownSize());
    }
    return r;
}

bool Session::PublishFrame(DecodedFrame& front) {
    if (!frameReady_) return false;
    frameReady_ = false;
    back_.number = ++frames_;
    std::swap(back_, front);
    // A picture the window never took is dropped at once.
    back_.sample.Reset();
    return true;
}

const AudioStats& Session::Audio() {
    if (sound_) stats_.framesPlayed = sound_->Played();
    return stats_;
}

}  // namespace playerctl
