#include "card.h"

#include <algorithm>

namespace playerctl {

std::wstring FormatClock(std::int64_t ms) {
    std::int64_t s = std::max<std::int64_t>(0, ms) / 1000;
    auto two = [](std::int64_t n) {
        std::wstring t = std::to_wstring(n);
        return n < 10 ? L"0" + t : t;
    };
    if (s >= 3600) return std::to_wstring(s / 3600) + L":" + two(s / 60 % 60) + L":" + two(s % 60);
    return std::to_wstring(s / 60) + L":" + two(s % 60);
}

std::wstring ErrorText(int code) {
    switch (code) {
    case 100: return L"Video not found";
    case 101:
    case 150: return L"Embedding not allowed";
    case kMediaErrorCode: return L"Cannot decode this video";
    default: return L"Cannot play this video";
    }
}

CardView MakeCardView(const PlaybackModel& model, bool movieReady, int width) {
    CardView view;
    view.color = kBlankColor;
    if (!movieReady) return view;
    view.look = CardView::Look::Idle;
    if (!model.HasVideo()) return view;

    view.look = CardView::Look::Video;
    if (model.ErrorCode() != 0) {
        view.overlay = CardView::Overlay::Error;
        view.errorCode = model.ErrorCode();
        view.title = model.VideoId();
        return view;
    }
    if (!model.HasInfo()) {
        view.overlay = CardView::Overlay::Loading;
        view.title = model.VideoId();
        return view;
    }

    view.title = model.Title().empty() ? model.VideoId() : model.Title();
    view.color = model.Color();
    std::int64_t length = std::max<std::int64_t>(1, model.LengthMs());
    view.timeCode = FormatClock(model.PositionMs()) + L" / " + FormatClock(model.LengthMs());
    std::int64_t span = std::max(0, width - 1);
    auto x = [&](std::int64_t ms) { return static_cast<int>(std::clamp<std::int64_t>(ms, 0, length) * span / length); };
    view.stripeX = x(model.PositionMs());
    view.loadedFromX = x(model.LoadedStartMs());
    view.loadedToX = x(model.LoadedEndMs());
    switch (model.State()) {
    case PlayerState::Buffering: view.overlay = CardView::Overlay::Buffering; break;
    case PlayerState::Paused: view.overlay = CardView::Overlay::Paused; break;
    case PlayerState::Cued: view.overlay = CardView::Overlay::Cued; break;
    case PlayerState::Ended: view.overlay = CardView::Overlay::Ended; break;
    default: break;
    }
    return view;
}

}  // namespace playerctl
