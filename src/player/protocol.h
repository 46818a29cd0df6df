#pragma once
// The player call protocol: the request texts the program sends to the
// player, the two answers it gives the player's calls, and the decoders of
// the player's replies. Pure text, no Windows header.

#include <string>
#include <vector>

namespace protocol {

// --- requests ------------------------------------------------------------
// String arguments are escaped (& < > " ') so that no typed or captured text
// can break out of its element.

// The three event registrations, in the order they are sent.
std::wstring addStateListener();
std::wstring addQualityListener();
std::wstring addErrorListener();

std::wstring loadVideoById(const std::wstring& videoId);
std::wstring loadVideoById(const std::wstring& videoId, long startSeconds);
std::wstring playVideo();
std::wstring pauseVideo();
std::wstring stopVideo();
std::wstring seekToStart();
std::wstring seekTo(double seconds);
std::wstring mute();
std::wstring unMute();
std::wstring isMuted();
std::wstring setVolume(int volume);
std::wstring getVolume();
std::wstring getVideoBytesLoaded();
std::wstring getVideoBytesTotal();
std::wstring getVideoStartBytes();
std::wstring getCurrentTime();
std::wstring getDuration();
std::wstring getVideoUrl();
std::wstring getPlaybackQuality();
std::wstring setPlaybackQuality(const std::wstring& quality);
std::wstring getAvailableQualityLevels();

// --- answers to the player's calls ----------------------------------------

// The web host named in the location answer.
inline constexpr wchar_t kWebHost[] = L"www.youtube.com";

std::wstring UndefinedAnswer();
std::wstring LocationAnswer();

// --- reply decoders ---------------------------------------------------------
// Tags are found by plain substring search; a reply without them decodes to
// the neutral value (0, 0.0, false, empty). Integers are read like "%ld" and
// saturate at the 32-bit limits.

long GetReplyLong(std::wstring reply);
double GetReplyDouble(std::wstring reply);
bool GetReplyBool(std::wstring reply);
std::wstring GetReplyString(std::wstring reply);
std::vector<std::wstring> GetReplyStringList(std::wstring reply);

}  // namespace protocol
