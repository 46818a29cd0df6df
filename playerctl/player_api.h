#pragma once
// The movie's scripting interface: runs the player functions named in
// CallFunction requests against the playback model and turns the model's
// events into the movie's calls to the handlers registered with
// addEventListener. No Windows header, no I/O: the window layer fetches the
// video info and hands it in.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "external_call.h"
#include "playback.h"

namespace playerctl {

class PlayerApi {
public:
    using Clock = std::function<std::int64_t()>;  // milliseconds

    struct InfoRequest {
        std::uint64_t generation = 0;
        std::wstring videoId;
    };

    explicit PlayerApi(Clock clock, PlaybackOptions options = {});

    // Runs one CallFunction request and returns the serialised reply, or
    // nullopt when the request is rejected (malformed, unknown function,
    // missing or mistyped argument).
    std::optional<std::wstring> Call(std::wstring_view request);

    // Brings playback up to the clock's present.
    void Advance();

    void SetClock(Clock clock);

    // The info fetch the last loadVideoById asked for, once.
    std::optional<InfoRequest> TakeInfoRequest();
    void ApplyInfo(std::uint64_t generation, const VideoInfo& info);

    // Real media: what the decoder is to do, and what it reports.
    std::vector<MediaCommand> TakeMediaCommands() { return model_.TakeMediaCommands(); }
    void ApplyMediaReport(const MediaReport& report);

    // The movie's calls to its host that are due, oldest first.
    std::vector<std::wstring> TakeCalls();
    bool HasCalls() const { return !calls_.empty(); }

    const PlaybackModel& Playback() const { return model_; }

    // The movie's first call once it has loaded.
    static std::wstring ReadyCall();

    static std::wstring VideoUrl(std::wstring_view videoId);

private:
    void Sync();
    void CollectEvents();
    std::optional<Value> Run(const InvokeRequest& request);

    Clock clock_;
    PlaybackModel model_;
    std::vector<std::pair<std::wstring, std::wstring>> listeners_;  // event, handler
    std::optional<InfoRequest> infoRequest_;
    std::vector<std::wstring> calls_;
};

}  // namespace playerctl
