#include "player_api.h"

#include "common/percent.h"

namespace playerctl {

namespace {

const Value* Arg(const std::vector<Value>& args, size_t i) {
    if (i >= args.size()) return nullptr;
    const Value& v = args[i];
    if (v.kind == Value::Kind::Undefined || v.kind == Value::Kind::Null) return nullptr;
    return &v;
}

// Each reader leaves `out` alone for an optional argument that is absent and
// fails for a required one that is absent or any argument of the wrong kind.
bool ReadString(const std::vector<Value>& args, size_t i, bool required, std::wstring& out) {
    const Value* v = Arg(args, i);
    if (!v) return !required;
    if (v->kind != Value::Kind::String) return false;
    out = v->text;
    return true;
}

bool ReadNumber(const std::vector<Value>& args, size_t i, bool required, double& out) {
    const Value* v = Arg(args, i);
    if (!v) return !required;
    if (v->kind != Value::Kind::Number) return false;
    out = v->number;
    return true;
}

bool ReadBool(const std::vector<Value>& args, size_t i, bool required, bool& out) {
    const Value* v = Arg(args, i);
    if (!v) return !required;
    if (v->kind != Value::Kind::Boolean) return false;
    out = v->boolean;
    return true;
}

Value Number(std::int64_t n) { return Value::Number(static_cast<double>(n)); }

}  // namespace

PlayerApi::PlayerApi(Clock clock, PlaybackOptions options)
    : clock_(std::move(clock)), model_(options) {
    Sync();
}

void PlayerApi::SetClock(Clock clock) {
    Sync();
    clock_ = std::move(clock);
    model_.RestartClock();
    Sync();
}

void PlayerApi::Sync() {
    if (clock_) model_.Sync(clock_());
    CollectEvents();
}

void PlayerApi::Advance() { Sync(); }

std::wstring PlayerApi::ReadyCall() { return SerializeInvoke(L"onYouTubePlayerReady", {Value::String(L"")}); }

std::wstring PlayerApi::VideoUrl(std::wstring_view videoId) {
    return L"http://www.youtube.com/watch?v=" + common::PercentEncode(videoId);
}

std::optional<PlayerApi::InfoRequest> PlayerApi::TakeInfoRequest() {
    std::optional<InfoRequest> out;
    out.swap(infoRequest_);
    return out;
}

void PlayerApi::ApplyInfo(std::uint64_t generation, const VideoInfo& info) {
    Sync();
    model_.ApplyInfo(generation, info);
    CollectEvents();
}

void PlayerApi::ApplyMediaReport(const MediaReport& report) {
    Sync();
    model_.ApplyMediaReport(report);
    CollectEvents();
}

std::vector<std::wstring> PlayerApi::TakeCalls() {
    std::vector<std::wstring> out;
    out.swap(calls_);
    return out;
}

void PlayerApi::CollectEvents() {
    for (const PlaybackEvent& e : model_.TakeEvents()) {
        std::wstring_view event;
        Value argument;
        switch (e.kind) {
        case PlaybackEvent::Kind::StateChange:
            event = L"onStateChange";
            argument = Value::Number(e.code);
            break;
        case PlaybackEvent::Kind::QualityChange:
            event = L"onPlaybackQualityChange";
            argument = Value::String(std::wstring(common::QualityWideName(e.quality)));
            break;
        case PlaybackEvent::Kind::Error:
            event = L"onError";
            argument = Value::Number(e.code);
            break;
        }
        for (const auto& [name, handler] : listeners_) {
            if (name == event) calls_.push_back(SerializeInvoke(handler, {argument}));
        }
    }
}

std::optional<std::wstring> PlayerApi::Call(std::wstring_view request) {
    std::optional<InvokeRequest> parsed = ParseInvoke(request);
    if (!parsed) return std::nullopt;
    Sync();
    std::optional<Value> result = Run(*parsed);
    CollectEvents();
    if (!result) return std::nullopt;
    return SerializeValue(*result);
}

std::optional<Value> PlayerApi::Run(const InvokeRequest& request) {
    const std::wstring& f = request.name;
    const std::vector<Value>& args = request.arguments;
    const Value done = Value::Undefined();

    if (f == L"addEventListener") {
        std::wstring event, handler;
        if (!ReadString(args, 0, true, event) || !ReadString(args, 1, true, handler)) return std::nullopt;
        if (handler.empty()) return std::nullopt;
        for (const auto& listener : listeners_) {
            if (listener.first == event && listener.second == handler) return done;
        }
        listeners_.emplace_back(std::move(event), std::move(handler));
        return done;
    }
    if (f == L"loadVideoById") {
        std::wstring id, quality = L"default";
        double start = 0;
        if (!ReadString(args, 0, true, id) || !ReadNumber(args, 1, false, start) ||
            !ReadString(args, 2, false, quality))
            return std::nullopt;
        std::uint64_t generation = model_.LoadVideo(id, start, quality);
        infoRequest_ = InfoRequest{generation, id};
        return done;
    }
    if (f == L"playVideo") {
        model_.Play();
        return done;
    }
    if (f == L"pauseVideo") {
        model_.Pause();
        return done;
    }
    if (f == L"stopVideo") {
        model_.Stop();
        return done;
    }
    if (f == L"seekTo") {
        double seconds = 0;
        bool allowSeekAhead = false;
        if (!ReadNumber(args, 0, true, seconds) || !ReadBool(args, 1, false, allowSeekAhead))
            return std::nullopt;
        model_.SeekTo(seconds, allowSeekAhead);
        return done;
    }
    if (f == L"mute" || f == L"unMute") {
        model_.SetMuted(f == L"mute");
        return done;
    }
    if (f == L"isMuted") return Value::Bool(model_.Muted());
    if (f == L"setVolume") {
        double volume = 0;
        if (!ReadNumber(args, 0, true, volume)) return std::nullopt;
        model_.SetVolume(volume);
        return done;
    }
    if (f == L"getVolume") return Number(model_.Volume());
    if (f == L"getVideoBytesLoaded") return Number(model_.BytesLoaded());
    if (f == L"getVideoBytesTotal") return Number(model_.BytesTotal());
    if (f == L"getVideoStartBytes") return Number(model_.StartBytes());
    if (f == L"getCurrentTime") return Value::Number(static_cast<double>(model_.PositionMs()) / 1000.0);
    if (f == L"getDuration") return Number(model_.DurationSeconds());
    if (f == L"getPlayerState") return Number(static_cast<int>(model_.State()));
    if (f == L"getVideoUrl") {
        return Value::String(model_.HasVideo() ? VideoUrl(model_.VideoId()) : std::wstring());
    }
    if (f == L"getPlaybackQuality") {
        std::optional<Quality> q = model_.CurrentQuality();
        return q ? Value::String(std::wstring(common::QualityWideName(*q))) : Value::Undefined();
    }
    if (f == L"setPlaybackQuality") {
        std::wstring name;
        if (!ReadString(args, 0, true, name)) return std::nullopt;
        model_.SetQuality(name);
        return done;
    }
    if (f == L"getAvailableQualityLevels") {
        std::vector<Value> names;
        for (Quality q : model_.Levels()) names.push_back(Value::String(std::wstring(common::QualityWideName(q))));
        return Value::Array(std::move(names));
    }
    return std::nullopt;
}

}  // namespace playerctl
