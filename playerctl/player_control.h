#pragma once
// The player component: a child-window control that stands where the Flash
// control stood. The program talks to it only through this header.
//
// Methods are called by dispatch ID with one synchronous message to the
// control window; events go to the parent window by dispatch ID with one
// synchronous message. Strings cross the boundary as OLE strings (BSTR).

#include <windows.h>
#include <oleauto.h>

namespace playerctl {

inline constexpr wchar_t kClassName[] = L"ClipdeckPlayer";

// Dispatch IDs of the control's methods and events.
inline constexpr long kDispLoadMovie = 0x8E;       // (long layer, string url)
inline constexpr long kDispFlashCall = 0xC5;       // event: (string request)
inline constexpr long kDispCallFunction = 0xC6;    // (string request) -> string reply
inline constexpr long kDispSetReturnValue = 0xC7;  // (string answer)
inline constexpr long kDispReadyStateChange = -609;  // event: (long newState)

// Method call: SendMessageW(control, kMsgInvoke, 0, (LPARAM)&invocation).
// The result is an HRESULT: S_OK, or a failure when the control rejects the
// call (no movie loaded yet, unknown function, malformed request, no event
// being delivered for SetReturnValue). On S_OK a method with a string result
// stores a new BSTR in `result` (never null) that the caller frees.
inline constexpr UINT kMsgInvoke = WM_APP + 0x2C0;

struct Invocation {
    long dispid = 0;
    long intArg = 0;                 // LoadMovie: layer
    const wchar_t* strArg = nullptr; // LoadMovie: URL; CallFunction: request; SetReturnValue: answer
    BSTR result = nullptr;           // CallFunction: reply
};

// Event: SendMessageW(parent, kMsgEvent, controlId, (LPARAM)&event).
// The parent answers nonzero when it handled the event. A FlashCall's answer
// is whatever the parent passed to SetReturnValue while the event was being
// delivered ("<undefined/>"-less: no answer means the player's call returns
// nothing).
inline constexpr UINT kMsgEvent = WM_APP + 0x2C1;

struct Event {
    HWND control = nullptr;
    long dispid = 0;
    long intArg = 0;                 // OnReadyStateChange: new state
    const wchar_t* strArg = nullptr; // FlashCall: request
};

// Loading: LoadMovie(0, url) returns at once; the control then reports the
// ready states 0 and 1, and once the movie has arrived from the host 3 and 4,
// followed by the movie's call onYouTubePlayerReady (one empty string
// argument) through FlashCall. A movie that does not arrive (no answer, a
// status other than 200, another body) leaves the control at 1 for good.
// CallFunction is accepted from the delivery of state 4 on.
//
// Timing: every event reaches the parent on the thread that owns the
// control, from its message loop, never from inside a method call: what a
// CallFunction sets off (state changes, for instance) follows after it has
// returned. A parent may call methods while it handles an event.

// Registers the window class (idempotent). Call once before a dialog whose
// template holds the control is created.
bool RegisterControlClass(HINSTANCE instance);

}  // namespace playerctl
