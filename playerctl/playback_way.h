#pragma once
// The two ways a video plays once its info has chosen a level: a simulated
// download (SimulatedPlayback) or real media played by a decoder
// (MediaPlayback). The model keeps what both share in a PlaybackCore and
// hands every difference to the way in use. No Windows header. Internal to
// the playback model.

#include <cstdint>
#include <optional>
#include <vector>

#include "media/commands.h"
#include "playback.h"
#include "video_info.h"

namespace playerctl {

// The video as both ways see it and move it.
struct PlaybackCore {
    PlaybackOptions options;
    VideoInfo info;
    std::optional<Quality> quality;
    PlayerState state = PlayerState::Unstarted;
    std::int64_t posMs = 0;
    std::int64_t lengthMs = 0;
    std::int64_t startBytes = 0;
    std::int64_t nowMs = 0;  // the clock's last reading
    std::vector<PlaybackEvent> events;
    // For the decoder of real media, numbered across every media opened.
    std::uint64_t mediaSerial = 0;
    std::vector<MediaCommand> mediaCommands;

    void SetState(PlayerState s, bool force = false);
    bool Running() const { return state == PlayerState::Playing || state == PlayerState::Buffering; }
    void Send(MediaCommand command);
};

class PlaybackWay {
public:
    explicit PlaybackWay(PlaybackCore& core) : core_(core) {}
    virtual ~PlaybackWay() = default;
    PlaybackWay(const PlaybackWay&) = delete;
    PlaybackWay& operator=(const PlaybackWay&) = delete;

    // The info has come: the video starts playing at its position.
    virtual void Begin() = 0;
    // The level changed to this way's: loading starts over where the video
    // stands, and it goes on playing when it was `running`.
    virtual void Reopen(bool running) = 0;
    // `dt` ms have passed (the core's clock has moved on); false when the
    // video turns out unplayable.
    virtual bool Advance(std::int64_t dt) = 0;
    // Play from a pause, a stop or the end (the position is already back at
    // 0 from the end); pause; stop (the model then cues the start).
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    // To `targetMs`, before the end.
    virtual void SeekTo(std::int64_t targetMs, bool allowSeekAhead) = 0;
    // The way is left for another level or video.
    virtual void Close() {}
    // What the decoder reports; false when it cannot play the media.
    virtual bool ApplyReport(const MediaReport&) { return true; }
    virtual bool UsesMedia() const { return false; }

    virtual std::int64_t StreamSize() const = 0;
    virtual std::int64_t DurationSeconds() const = 0;
    // Of the stream loading now, counted from the start bytes.
    virtual std::int64_t BytesLoaded() const = 0;
    std::int64_t BytesTotal() const { return StreamSize() - core_.startBytes; }
    std::int64_t LoadedStartMs() const { return TimeAt(core_.startBytes); }
    std::int64_t LoadedEndMs() const { return TimeAt(core_.startBytes + BytesLoaded()); }

protected:
    std::int64_t TimeAt(std::int64_t byte) const;
    std::int64_t ByteAt(std::int64_t ms) const;

    PlaybackCore& core_;
};

class SimulatedPlayback final : public PlaybackWay {
public:
    explicit SimulatedPlayback(PlaybackCore& core);

    void Begin() override;
    void Reopen(bool running) override;
    bool Advance(std::int64_t dt) override;
    void Play() override;
    void Pause() override {}
    void Stop() override {}
    void SeekTo(std::int64_t targetMs, bool allowSeekAhead) override;
    std::int64_t StreamSize() const override;
    std::int64_t DurationSeconds() const override { return core_.info.lengthSeconds; }
    std::int64_t BytesLoaded() const override;

private:
    bool Covers(std::int64_t ms) const;
    bool Buffered(std::int64_t ms) const;
    void RestartLoading(std::int64_t byte);
    void AddLoading(std::int64_t ms);
    void AdvancePlayback(std::int64_t ms);
    void StartPlaying();

    std::int64_t loadingMs_ = 0;
    std::int64_t bytesPerSecond_ = 1;
};

class MediaPlayback final : public PlaybackWay {
public:
    explicit MediaPlayback(PlaybackCore& core) : PlaybackWay(core) {}

    void Begin() override;
    void Reopen(bool running) override;
    bool Advance(std::int64_t dt) override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    void SeekTo(std::int64_t targetMs, bool allowSeekAhead) override;
    void Close() override;
    bool ApplyReport(const MediaReport& report) override;
    bool UsesMedia() const override { return true; }
    std::int64_t StreamSize() const override;
    std::int64_t DurationSeconds() const override;
    std::int64_t BytesLoaded() const override;

private:
    void Open(bool play);
    void Send(MediaCommand::Kind kind);

    bool opened_ = false;
    MediaReport report_;
    bool frameAtPos_ = false;  // the decoder shows the frame at the position
    bool framesSinceOpen_ = false;
    std::uint64_t openSerial_ = 0;
    std::int64_t openedAtMs_ = 0;
};

}  // namespace playerctl
