#pragma once
// The simulated or real video of one player: states, position, loading,
// volume and quality, moved forward by whoever owns the clock. All times
// are milliseconds of that clock. How the video plays once its info has
// chosen a level (a simulated download or real media) is a PlaybackWay of
// playback_way.h. No Windows header, no I/O.

#include <cstdint>
#include <memory>
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

struct PlaybackCore;
class PlaybackWay;

class PlaybackModel {
public:
    explicit PlaybackModel(PlaybackOptions options = {});
    ~PlaybackModel();
    PlaybackModel(PlaybackModel&&) noexcept;
    PlaybackModel& operator=(PlaybackModel&&) noexcept;

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
    bool UsesMedia() const;

    std::vector<PlaybackEvent> TakeEvents();

    PlayerState State() const;
    bool HasVideo() const { return hasVideo_; }
    bool InfoPending() const { return infoPending_; }
    // The info has come and chosen a level: the video plays one way or the other.
    bool HasInfo() const { return way_ != nullptr; }
    int ErrorCode() const { return errorCode_; }
    const std::wstring& VideoId() const { return videoId_; }
    const std::wstring& Title() const;
    std::uint32_t Color() const;
    std::optional<Quality> CurrentQuality() const;
    std::vector<Quality> Levels() const;
    std::int64_t PositionMs() const;
    std::int64_t LengthMs() const;
    std::int64_t DurationSeconds() const;
    std::int64_t BytesLoaded() const;
    std::int64_t BytesTotal() const;  // of the stream loading now, from StartBytes()
    std::int64_t StartBytes() const;
    std::int64_t LoadedStartMs() const;  // the loaded range of the video
    std::int64_t LoadedEndMs() const;
    int Volume() const { return volume_; }
    bool Muted() const { return muted_; }
    bool Running() const;

private:
    Quality Pick(std::wstring_view name) const;
    // The way of playing `level`, the one in use closed first unless real
    // media replaces real media (a new decoder takes over from the old).
    void UseWayOf(Quality level);
    void FailMedia();

    std::unique_ptr<PlaybackCore> core_;
    std::unique_ptr<PlaybackWay> way_;  // null until the info has come
    bool clockStarted_ = false;

    bool hasVideo_ = false;
    bool infoPending_ = false;
    std::uint64_t generation_ = 0;
    std::wstring videoId_;
    std::wstring suggested_;
    int errorCode_ = 0;

    int volume_ = 100;
    bool muted_ = false;
};

}  // namespace playerctl
