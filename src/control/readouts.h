#pragma once
// What the control panel shows, worked out from the player's answers: the
// status and error texts, the time text, the two bars and the end-offset
// decision. No Windows header, so the arithmetic is tested natively.

#include <optional>
#include <string>

// Status text for a player state code; empty for an unknown code.
const wchar_t* StatusText(long state);

// Title-line text for a player error code.
std::wstring ErrorText(long code);

// "m:ss / m:ss" of the current time and the duration, each truncated to
// whole seconds.
std::wstring TimeText(double current, double duration);

// The time label while the player reports a negative duration.
inline constexpr wchar_t kNoTimeText[] = L"-:--/-:--";

// Loaded bar position for the player's byte counts: nothing when the bar is
// to be left alone (no size known yet), 0 when the counts make no sense.
std::optional<int> LoadedPercent(long loaded, long start, long total);

// Position bar for the current time and the duration: 0 for a negative
// duration, nothing for a zero one.
std::optional<int> PositionPercent(double current, double duration);

// Whether the video in force counts as ended: it is playing and fewer than
// `endOffset` seconds (but more than none) remain.
bool EndOffsetReached(int state, double current, double duration, int endOffset);
