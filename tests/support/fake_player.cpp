#include "fake_player.h"

#include <algorithm>

#include "playerctl/player_control.h"

namespace clipdeck::test {

void FakePlayer::Register() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = playerctl::kClassName;
    ::RegisterClassW(&wc);
}

FakePlayer& FakePlayer::Instance() {
    static FakePlayer fake;
    return fake;
}

void FakePlayer::Reset() {
    replies_.clear();
    rejected_.clear();
    calls_.clear();
    onCall = nullptr;
}

void FakePlayer::Reply(const std::wstring& functionName, const std::wstring& reply) {
    replies_[functionName] = reply;
}

std::vector<std::wstring> FakePlayer::callFunctionRequests() const {
    std::vector<std::wstring> out;
    for (const FakeCall& call : calls_) {
        if (call.dispid == playerctl::kDispCallFunction) out.push_back(call.text);
    }
    return out;
}

void FakePlayer::FireReadyState(long state) {
    playerctl::Event event;
    event.control = window_;
    event.dispid = playerctl::kDispReadyStateChange;
    event.intArg = state;
    ::SendMessageW(::GetParent(window_), playerctl::kMsgEvent, ::GetDlgCtrlID(window_),
                   reinterpret_cast<LPARAM>(&event));
}

std::wstring FakePlayer::FireFlashCall(const std::wstring& request) {
    playerctl::Event event;
    event.control = window_;
    event.dispid = playerctl::kDispFlashCall;
    event.strArg = request.c_str();
    delivering_ = true;
    answered_ = false;
    ::SendMessageW(::GetParent(window_), playerctl::kMsgEvent, ::GetDlgCtrlID(window_),
                   reinterpret_cast<LPARAM>(&event));
    delivering_ = false;
    return answered_ ? answer_ : L"(none)";
}

LRESULT FakePlayer::invoke(LPARAM lParam) {
    auto* call = reinterpret_cast<playerctl::Invocation*>(lParam);
    std::wstring text = call->strArg ? call->strArg : L"";
    calls_.push_back({call->dispid, call->intArg, text});
    if (std::find(rejected_.begin(), rejected_.end(), call->dispid) != rejected_.end()) return E_FAIL;
    switch (call->dispid) {
    case playerctl::kDispLoadMovie:
        return S_OK;
    case playerctl::kDispSetReturnValue:
        if (!delivering_) return E_FAIL;
        answer_ = text;
        answered_ = true;
        return S_OK;
    case playerctl::kDispCallFunction: {
        if (onCall) onCall(text);
        std::wstring reply = L"<undefined/>";
        for (const auto& [name, scripted] : replies_) {
            if (text.find(L"name=\"" + name + L"\"") != std::wstring::npos) reply = scripted;
        }
        call->result = ::SysAllocStringLen(reply.data(), static_cast<UINT>(reply.size()));
        return S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

LRESULT CALLBACK FakePlayer::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    FakePlayer& fake = Instance();
    switch (msg) {
    case WM_CREATE:
        fake.window_ = hwnd;
        return 0;
    case WM_DESTROY:
        if (fake.window_ == hwnd) fake.window_ = nullptr;
        return 0;
    case playerctl::kMsgInvoke:
        return fake.invoke(lParam);
    default:
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace clipdeck::test
