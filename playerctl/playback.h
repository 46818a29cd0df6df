#pragma once
// The simulated video: states, position, progressive download, volume and
// quality of one player, moved forward by whoever owns the clock. All times
// are milliseconds of that clock. No Windows header, no I/O.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/commands.h"
#include "video_info.h"

namespace playerctl {

enum class PlayerState : int {
    Unstarted = -1,
    Ended = 0,
    Playing = 1,
    Paused = 2,
    Buffering = 3,
    Cued = 5,
};

struct PlaybackOptions {
    // Download rate as a multiple of the rate the video plays at.
    double downloadSpeed = 4.0;
    // Playing (re)starts once this much video past the position is loaded.
    std::int64_t bufferAheadMs = 2000;
    // Longest slice of time simulated at once, so a long step of the clock
    // still catches the moment playback overtakes the download.
    std::int64_t sliceMs = 50;
    // Real media that shows no frame this long after it was opened cannot
    // be decoded here.
    std::int64_t firstFrameTimeoutMs = 2000;
};

// The error reported for media that cannot be played.
inline constexpr int kMediaErrorCode = 5;

struct PlaybackEvent {
    enum class Kind { StateChange, QualityChange, Error };
    Kind kind;
    int code = 0;                      // state or error code
    Quality quality = Quality::Small;  // QualityChange
};

class PlaybackModel {
public:
    explicit PlaybackModel(PlaybackOptions options = {});

    // Brings download and playback up to `nowMs`. The first call only sets
    // the origin; a clock that goes back is ignored.
    void Sync(std::int64_t nowMs);
    // The next Sync sets a new origin (another clock takes over).
    void RestartClock() { clockStarted_ = false; }

    // Starts a new video; its info is to be fetched for the returned generation.
    std::uint64_t LoadVideo(std::wstring videoId, double startSeconds, std::wstring suggestedQuality);
    // Info for an older generation, or a second time, is ignored.
    void ApplyInfo(std::uint64_t generation, const VideoInfo& info);

    void Play();
    void Pause();
    void Stop();
    void SeekTo(double seconds, bool allowSeekAhead);
    void SetQuality(std::wstring_view name);
    void SetVolume(double volume);
    void SetMuted(bool muted) { muted_ = muted; }

    // Real media: the decoder's commands, oldest first, and its reports.
    std::vector<MediaCommand> TakeMediaCommands();
    void ApplyMediaReport(const MediaReport& report);
    bool UsesMedia() const { return media_; }

    std::vector<PlaybackEvent> TakeEvents();

    PlayerState State() const { return state_; }
    bool HasVideo() const { return hasVideo_; }
    bool InfoPending() const { return infoPending_; }
    bool HasInfo() const { return hasInfo_; }
    int ErrorCode() const { return errorCode_; }
    const std::wstring& VideoId() const { return videoId_; }
    const std::wstring& Title() const { return info_.title; }
    std::uint32_t Color() const { return info_.color; }
    std::optional<Quality> CurrentQuality() const { return quality_; }
    std::vector<Quality> Levels() const;
    std::int64_t PositionMs() const { return posMs_; }
    std::int64_t LengthMs() const { return hasInfo_ ? lengthMs_ : 0; }
    std::int64_t DurationSeconds() const;
    std::int64_t BytesLoaded() const;
    std::int64_t BytesTotal() const;  // of the stream loading now, from StartBytes()
    std::int64_t StartBytes() const { return hasInfo_ ? startBytes_ : 0; }
    std::int64_t LoadedStartMs() const;  // the loaded range of the video
    std::int64_t LoadedEndMs() const;
    int Volume() const { return volume_; }
    bool Muted() const { return muted_; }
    bool Running() const {
        return hasInfo_ && (state_ == PlayerState::Playing || state_ == PlayerState::Buffering);
    }

private:
    std::int64_t StreamSize() const;
    std::int64_t TimeAt(std::int64_t byte) const;
    std::int64_t ByteAt(std::int64_t ms) const;
    bool Covers(std::int64_t ms) const;
    bool Buffered(std::int64_t ms) const;
    Quality Pick(std::wstring_view name) const;
    void RestartLoading(std::int64_t byte);
    void AddLoading(std::int64_t ms);
    void UpdateRate();
    void AdvancePlayback(std::int64_t ms);
    void StartPlaying();
    void SetState(PlayerState state, bool force = false);
    void SendMedia(MediaCommand command);
    void OpenMedia(bool play);
    void CloseMedia();
    void FailMedia();

    PlaybackOptions options_;
    bool clockStarted_ = false;
    std::int64_t lastMs_ = 0;

    bool hasVideo_ = false;
    bool infoPending_ = false;
    bool hasInfo_ = false;
    std::uint64_t generation_ = 0;
    std::wstring videoId_;
    std::wstring suggested_;
    VideoInfo info_;
    int errorCode_ = 0;

    PlayerState state_ = PlayerState::Unstarted;
    std::int64_t posMs_ = 0;
    std::int64_t lengthMs_ = 0;
    std::optional<Quality> quality_;
    std::int64_t startBytes_ = 0;
    std::int64_t loadingMs_ = 0;
    std::int64_t bytesPerSecond_ = 1;

    int volume_ = 100;
    bool muted_ = false;

    std::vector<PlaybackEvent> events_;

    bool media_ = false;
    std::uint64_t mediaSerial_ = 0;
    std::vector<MediaCommand> mediaCommands_;
    MediaReport report_;
    bool frameAtPos_ = false;      // the decoder shows the frame at posMs_
    bool framesSinceOpen_ = false;
    std::uint64_t openSerial_ = 0;
    std::int64_t openedAtMs_ = 0;
};

}  // namespace playerctl
