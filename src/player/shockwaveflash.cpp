#include "player/shockwaveflash.h"

#include "framework/errors.h"
#include "playerctl/player_control.h"

namespace {

// One dispatch call; the control answers with an HRESULT.
std::wstring invoke(HWND control, long dispid, long intArg, const std::wstring& strArg) {
    playerctl::Invocation call;
    call.dispid = dispid;
    call.intArg = intArg;
    call.strArg = strArg.c_str();
    HRESULT hr = control ? static_cast<HRESULT>(::SendMessageW(control, playerctl::kMsgInvoke, 0,
                                                              reinterpret_cast<LPARAM>(&call)))
                         : E_HANDLE;
    if (FAILED(hr)) {
        if (call.result) ::SysFreeString(call.result);
        throw fw::DispatchError(dispid, hr);
    }
    std::wstring result;
    if (call.result) {
        result.assign(call.result, ::SysStringLen(call.result));
        ::SysFreeString(call.result);
    }
    return result;
}

}  // namespace

void CShockwaveflash::LoadMovie(long layer, const std::wstring& url) {
    invoke(hwnd_, playerctl::kDispLoadMovie, layer, url);
}

std::wstring CShockwaveflash::CallFunction(const std::wstring& request) {
    return invoke(hwnd_, playerctl::kDispCallFunction, 0, request);
}

void CShockwaveflash::SetReturnValue(const std::wstring& answer) {
    invoke(hwnd_, playerctl::kDispSetReturnValue, 0, answer);
}
