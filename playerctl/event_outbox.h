#pragma once
// The control's events on their way to the parent window: queued while a
// method call or a message is handled, then sent one by one from the
// control's message loop, never from inside a method call. Internal to
// playerctl.

#include <windows.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace playerctl {

class EventOutbox {
public:
    // `control` posts itself `deliverMessage` to deliver later;
    // `onReadyState` hears each ready state just before the parent does.
    EventOutbox(HWND control, UINT deliverMessage, std::function<void(long)> onReadyState);

    void Push(long dispid, long intArg, std::wstring text = {});
    // A new movie: what was queued for the old one goes.
    void Clear() { queue_.clear(); }
    // Delivery from the message loop, unless it is already on its way or
    // there is nothing to send.
    void PostDeliver();
    // The delivery message has come.
    void OnDeliverMessage();
    // Sends every queued event to the parent, in order. A nested call (from
    // a modal loop the parent runs inside an event) leaves the queue to the
    // delivery already running. Stops once the control is closed.
    void Deliver();
    // The parent's SetReturnValue: only while a FlashCall is being delivered.
    HRESULT SetReturnValue(const wchar_t* answer);
    // The answer given while the movie's last call was delivered.
    const std::optional<std::wstring>& LastAnswer() const { return lastAnswer_; }
    // The control is being destroyed: nothing more goes out.
    void Close() { closed_ = true; }

private:
    struct Outgoing {
        long dispid;
        long intArg;
        std::wstring text;
    };

    HWND control_;
    UINT deliverMessage_;
    std::function<void(long)> onReadyState_;
    std::deque<Outgoing> queue_;
    bool posted_ = false;
    bool delivering_ = false;
    bool closed_ = false;
    bool answerOpen_ = false;
    std::optional<std::wstring> answer_;
    std::optional<std::wstring> lastAnswer_;
};

}  // namespace playerctl
