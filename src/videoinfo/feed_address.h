#pragma once
// Where a metadata request goes: the feed host, taken from the environment,
// and the path of a video's entry.

#include <string>
#include <string_view>

#include "common/host_port.h"
#include "core/environment.h"
// The local service's default address, used when the variable is unset or
// unusable.
inline constexpr wchar_t kDefaultFeedHost[] = L"127.0.0.1:8480";

using FeedHost = common::HostPort;

// The feed host for the environment value (empty when the variable is
// unset): "host[:port]" with surrounding blanks ignored. An empty or unusable
// value gives the default address.
FeedHost FeedHostFromSetting(std::wstring_view value);

// "/feeds/api/videos/" followed by the video ID percent-encoded outside the
// unreserved URL characters, so that no typed or captured text can change
// the request. A well-formed ID is unchanged.
std::wstring FeedPath(std::wstring_view videoId);

// "http://" + host (with ":port" unless it is 80) + FeedPath(videoId).
std::wstring FeedUrl(const FeedHost& host, std::wstring_view videoId);
