#pragma once
// The metadata request for one video: an HTTP GET of its entry document from
// the feed host (see feed_address.h), made synchronously on the caller's
// thread with a new WinINet session per call.

#include <cstddef>
#include <string>

// Results of FetchVideoInfo. Callers treat anything but kFetchOk as failure.
inline constexpr int kFetchOk = 0;           // status 200; the reply holds the body
inline constexpr int kFetchHttpStatus = 1;   // another status; the reply is empty
inline constexpr int kFetchNoTarget = 2;     // no reply target; nothing was sent
inline constexpr int kFetchClientError = 3;  // no connection, time-out, read error...; the reply is empty

// Connect, send and receive time-out of every request, so that a silent
// server cannot hold the user interface for more than a few seconds.
inline constexpr unsigned long kFetchTimeoutMs = 5000;

// A body above this size is abandoned (kFetchClientError): an entry document
// is a few kilobytes, and a server streaming without end must not exhaust
// memory.
inline constexpr std::size_t kMaxReplyBytes = 1024 * 1024;

inline constexpr wchar_t kFetchUserAgent[] = L"HTTP Get Youtube Application ver-1.00";

// Fetches the entry of `videoId` into `*reply`, decoded from UTF-8. The feed
// host is read from the environment on every call.
int FetchVideoInfo(std::wstring videoId, std::wstring* reply);

// FetchVideoInfo with another time-out, so that tests of a stalled transfer
// need not wait the full time each.
int FetchVideoInfoWithTimeout(std::wstring videoId, std::wstring* reply, unsigned long timeoutMs);
