#include "event_outbox.h"

#include <utility>

#include "player_control.h"

namespace playerctl {

EventOutbox::EventOutbox(HWND control, UINT deliverMessage, std::function<void(long)> onReadyState)
    : control_(control), deliverMessage_(deliverMessage), onReadyState_(std::move(onReadyState)) {}

void EventOutbox::Push(long dispid, long intArg, std::wstring text) {
    queue_.push_back({dispid, intArg, std::move(text)});
}

void EventOutbox::PostDeliver() {
    if (posted_ || queue_.empty()) return;
    posted_ = PostMessageW(control_, deliverMessage_, 0, 0) != 0;
}

void EventOutbox::OnDeliverMessage() {
    posted_ = false;
    Deliver();
}

HRESULT EventOutbox::SetReturnValue(const wchar_t* answer) {
    if (!answer) return E_INVALIDARG;
    if (!answerOpen_) return E_UNEXPECTED;
    answer_ = answer;
    return S_OK;
}

void EventOutbox::Deliver() {
    if (delivering_) return;
    delivering_ = true;
    while (!queue_.empty() && !closed_) {
        Outgoing out = std::move(queue_.front());
        queue_.pop_front();
        if (out.dispid == kDispReadyStateChange) onReadyState_(out.intArg);
        Event event;
        event.control = control_;
        event.dispid = out.dispid;
        event.intArg = out.intArg;
        event.strArg = out.text.c_str();
        bool flashCall = out.dispid == kDispFlashCall;
        if (flashCall) {
            answer_.reset();
            answerOpen_ = true;
        }
        HWND parent = GetParent(control_);
        if (parent) SendMessageW(parent, kMsgEvent, static_cast<WPARAM>(GetDlgCtrlID(control_)),
                                 reinterpret_cast<LPARAM>(&event));
        if (flashCall) {
            // The movie has no use for the answer; it is kept for the test seam.
            answerOpen_ = false;
            lastAnswer_ = std::move(answer_);
        }
    }
    delivering_ = false;
}

}  // namespace playerctl
