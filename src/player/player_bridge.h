#pragma once
// The one object through which every player operation goes and from which
// every player event comes.

#include <string>
#include <vector>

#include "player/listener.h"

class CShockwaveflash;

class CPlayerBridge {
public:
    // --- wiring -----------------------------------------------------------
    void addListener(CClipdeckListener* listener) { listeners.push_back(listener); }
    void setControl(CShockwaveflash* flash) { control = flash; }
    bool isReady() const { return ready; }

    // The player movie's address on the player host.
    static std::wstring PlayerMovieUrl();
    void loadPlayerMovie();

    // --- player operations --------------------------------------------------
    // Before the player has reported ready, operations send nothing and
    // return the neutral value, as without a control: the control would
    // reject them anyway.
    void loadVideoById(const std::wstring& videoId);
    void loadVideoById(const std::wstring& videoId, long startSeconds);
    void playVideo();
    void pauseVideo();
    void stopVideo();
    void seekToStart();
    void seekTo(double seconds);
    void mute();
    void unMute();
    bool isMuted();
    void setVolume(int volume);
    int getVolume();
    long getVideoBytesLoaded();
    long getVideoBytesTotal();
    long getVideoStartBytes();
    double getCurrentTime();
    double getDuration();
    std::wstring getVideoUrl();
    std::wstring getPlaybackQuality();
    void setPlaybackQuality(const std::wstring& quality);
    std::vector<std::wstring> getAvailableQualityLevels();

    // --- events from the control ------------------------------------------
    void OnReadySateChange(long state);
    void FlashCall(const std::wstring& request);

private:
    bool canCall() const { return control != nullptr && ready; }
    // Sends a request; with `traced` writes the request and reply lines
    // after the call came back.
    std::wstring call(const std::wstring& request, bool traced);
    void registerPlayerEvents();
    void answer(const std::wstring& text);

    std::vector<CClipdeckListener*> listeners;
    CShockwaveflash* control = nullptr;
    long readyState = -1;
    bool ready = false;
    bool eventsRegistered = false;
};
