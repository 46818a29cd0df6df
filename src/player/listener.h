#pragma once

#include <string>

// Receiver of the player's events, called on the user-interface thread while
// the player waits for its answer. The bridge never owns or deletes one.
class CClipdeckListener {
public:
    virtual void onPlayerReady() = 0;
    virtual void OnError(long code) = 0;
    virtual void onStateChange(long state) = 0;
    virtual void onPlaybackQualityChange(std::wstring quality) = 0;

protected:
    ~CClipdeckListener() = default;
};
