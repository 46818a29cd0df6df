#pragma once
// Failures that cross the message boundary, and how they are reported.

#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>

namespace fw {

// A call into a hosted control was rejected.
class DispatchError : public std::runtime_error {
public:
    DispatchError(long dispid, HRESULT hr);
    long dispid() const { return dispid_; }
    HRESULT hr() const { return hr_; }

private:
    long dispid_;
    HRESULT hr_;
};

// Plain message box: OK button, no icon, the application's title.
void ShowMessage(HWND owner, const std::wstring& text);

// Called by the message boundary with the text of an exception that
// abandoned a message. Shows a message box by default.
void ReportError(HWND owner, const std::wstring& text);

// Test seams: route message boxes and error reports elsewhere (an empty
// function restores the real message box).
using MessageSink = std::function<void(HWND owner, const std::wstring& text)>;
void SetMessageSink(MessageSink sink);
void SetErrorSink(MessageSink sink);

// The application's title, used as the caption of every message box.
const std::wstring& AppTitle();

std::wstring Widen(const char* text);

}  // namespace fw
