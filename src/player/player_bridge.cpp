#include "player/player_bridge.h"

#include <windows.h>

#include "core/environment.h"
#include "core/trace.h"
#include "player/protocol.h"
#include "player/shockwaveflash.h"

namespace {

constexpr wchar_t kDefaultPlayerHost[] = L"127.0.0.1:8480";
constexpr wchar_t kMoviePath[] = L"/apiplayer?enablejsapi=1&version=3";

// Unset, or longer than any host:port (256 characters and more): the
// default.
std::wstring playerHost() {
    std::wstring host = EnvironmentVariable(kPlayerHostVariable);
    return host.empty() || host.size() >= 256 ? std::wstring(kDefaultPlayerHost) : host;
}

}  // namespace

std::wstring CPlayerBridge::PlayerMovieUrl() { return L"http://" + playerHost() + kMoviePath; }

void CPlayerBridge::loadPlayerMovie() {
    if (!control) return;
    control->LoadMovie(0, PlayerMovieUrl());
}

std::wstring CPlayerBridge::call(const std::wstring& request, bool traced) {
    std::wstring reply = control->CallFunction(request);
    if (traced) {
        Trace(L"CallFunction():%ls\r\n", request.c_str());
        Trace(L"ReturnValue:%ls\r\n", reply.c_str());
    }
    return reply;
}

void CPlayerBridge::loadVideoById(const std::wstring& videoId) {
    if (canCall()) call(protocol::loadVideoById(videoId), true);
}
void CPlayerBridge::loadVideoById(const std::wstring& videoId, long startSeconds) {
    if (canCall()) call(protocol::loadVideoById(videoId, startSeconds), true);
}
void CPlayerBridge::playVideo() {
    if (canCall()) call(protocol::playVideo(), true);
}
void CPlayerBridge::pauseVideo() {
    if (canCall()) call(protocol::pauseVideo(), true);
}
void CPlayerBridge::stopVideo() {
    if (canCall()) call(protocol::stopVideo(), true);
}
void CPlayerBridge::seekToStart() {
    if (canCall()) call(protocol::seekToStart(), true);
}
void CPlayerBridge::seekTo(double seconds) {
    if (canCall()) call(protocol::seekTo(seconds), true);
}
void CPlayerBridge::mute() {
    if (canCall()) call(protocol::mute(), true);
}
void CPlayerBridge::unMute() {
    if (canCall()) call(protocol::unMute(), true);
}
bool CPlayerBridge::isMuted() {
    return canCall() ? protocol::GetReplyBool(call(protocol::isMuted(), true)) : false;
}
void CPlayerBridge::setVolume(int volume) {
    if (canCall()) call(protocol::setVolume(volume), false);
}
int CPlayerBridge::getVolume() {
    return canCall() ? static_cast<int>(protocol::GetReplyLong(call(protocol::getVolume(), false))) : 0;
}
long CPlayerBridge::getVideoBytesLoaded() {
    return canCall() ? protocol::GetReplyLong(call(protocol::getVideoBytesLoaded(), false)) : 0;
}
long CPlayerBridge::getVideoBytesTotal() {
    return canCall() ? protocol::GetReplyLong(call(protocol::getVideoBytesTotal(), false)) : 0;
}
long CPlayerBridge::getVideoStartBytes() {
    return canCall() ? protocol::GetReplyLong(call(protocol::getVideoStartBytes(), false)) : 0;
}
double CPlayerBridge::getCurrentTime() {
    return canCall() ? protocol::GetReplyDouble(call(protocol::getCurrentTime(), false)) : 0.0;
}
double CPlayerBridge::getDuration() {
    return canCall() ? protocol::GetReplyDouble(call(protocol::getDuration(), false)) : 0.0;
}
std::wstring CPlayerBridge::getVideoUrl() {
    return canCall() ? protocol::GetReplyString(call(protocol::getVideoUrl(), true)) : std::wstring();
}
std::wstring CPlayerBridge::getPlaybackQuality() {
    return canCall() ? protocol::GetReplyString(call(protocol::getPlaybackQuality(), false)) : std::wstring();
}
void CPlayerBridge::setPlaybackQuality(const std::wstring& quality) {
    if (canCall()) call(protocol::setPlaybackQuality(quality), true);
}
std::vector<std::wstring> CPlayerBridge::getAvailableQualityLevels() {
    return canCall() ? protocol::GetReplyStringList(call(protocol::getAvailableQualityLevels(), true))
                     : std::vector<std::wstring>();
}

// --- events --------------------------------------------------------------

void CPlayerBridge::OnReadySateChange(long state) {
    if (state == readyState) return;
    readyState = state;
    if (state == 4 && !eventsRegistered) {
        registerPlayerEvents();
        eventsRegistered = true;
    }
    Trace(L"OnReadySateChange():%ld\r\n", state);
}

void CPlayerBridge::registerPlayerEvents() {
    if (!control) return;
    for (const std::wstring& request :
         {protocol::addStateListener(), protocol::addQualityListener(), protocol::addErrorListener()}) {
        // The request line goes first here, so a rejected registration
        // still shows what was tried.
        Trace(L"CallFunction():%ls\r\n", request.c_str());
        std::wstring reply = control->CallFunction(request);
        Trace(L"ReturnValue:%ls\r\n", reply.c_str());
    }
}

void CPlayerBridge::answer(const std::wstring& text) {
    if (!control) return;
    control->SetReturnValue(text);
    Trace(L"SetReturnValue():%ls\r\n", text.c_str());
}

void CPlayerBridge::FlashCall(const std::wstring& request) {
    Trace(L"FlashCall():%ls\r\n", request.c_str());
    if (request.find(L"invoke") == std::wstring::npos) return;
    if (request.find(L"function") != std::wstring::npos) {
        if (request.find(L"location") != std::wstring::npos) answer(protocol::LocationAnswer());
        return;
    }
    // The list's length is read at every step: a listener may add another.
    if (request.find(L"onYouTubePlayerReady") != std::wstring::npos) {
        ready = true;
        for (size_t i = 0; i < listeners.size(); ++i) listeners[i]->onPlayerReady();
    } else if (request.find(L"onErrorHandler") != std::wstring::npos) {
        long code = protocol::GetReplyLong(request);
        for (size_t i = 0; i < listeners.size(); ++i) listeners[i]->OnError(code);
    } else if (request.find(L"onStateChangeHandler") != std::wstring::npos) {
        long state = protocol::GetReplyLong(request);
        for (size_t i = 0; i < listeners.size(); ++i) listeners[i]->onStateChange(state);
    } else if (request.find(L"onPlaybackQualityChangeHandler") != std::wstring::npos) {
        std::wstring quality = protocol::GetReplyString(request);
        for (size_t i = 0; i < listeners.size(); ++i) listeners[i]->onPlaybackQualityChange(quality);
    } else {
        return;
    }
    answer(protocol::UndefinedAnswer());
}
