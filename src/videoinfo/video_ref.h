#pragma once
// Reduction of typed or captured text to a video ID. Pure text.

#include <string>

// The video ID in `text`: from a URL with "http://" the (up to) 11
// characters after its first "v="; otherwise the text itself when it is
// exactly 11 characters long. Empty when there is none.
std::wstring ParseVideoRef(std::wstring text);

// The (up to) 11 characters after the first "v=" of a player's video URL.
std::wstring VideoIdFromUrl(const std::wstring& url);
