#pragma once
// A scripted stand-in for the player control, registered under the real
// control's class name so that the player window's template creates it.
// It records every method call and answers CallFunction from a script.

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace clipdeck::test {

struct FakeCall {
    long dispid;
    long intArg;
    std::wstring text;
};

class FakePlayer {
public:
    // Registers the fake class (call before creating the player window).
    static void Register();
    // The one fake in the process; reset between tests.
    static FakePlayer& Instance();

    void Reset();

    // Reply for requests whose text contains `functionName` in the name
    // attribute; unscripted functions answer "<undefined/>".
    void Reply(const std::wstring& functionName, const std::wstring& reply);
    // Calls of these dispatch IDs fail with E_FAIL.
    void Reject(long dispid) { rejected_.push_back(dispid); }
    // Runs inside CallFunction, for re-entrant scenarios.
    std::function<void(const std::wstring& request)> onCall;

    // Sends an event to the control's parent, as the real control does.
    void FireReadyState(long state);
    // Returns the answer given through SetReturnValue during the event, or
    // "(none)" when there was none.
    std::wstring FireFlashCall(const std::wstring& request);

    const std::vector<FakeCall>& calls() const { return calls_; }
    std::vector<std::wstring> callFunctionRequests() const;
    HWND window() const { return window_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT invoke(LPARAM lParam);

    HWND window_ = nullptr;
    std::map<std::wstring, std::wstring> replies_;
    std::vector<long> rejected_;
    std::vector<FakeCall> calls_;
    bool delivering_ = false;
    std::wstring answer_;
    bool answered_ = false;
};

}  // namespace clipdeck::test
