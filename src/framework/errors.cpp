#include "framework/errors.h"

#include <cstdio>

#include "common/utf8.h"

namespace fw {
namespace {

MessageSink& messageSink() {
    static MessageSink sink;
    return sink;
}

MessageSink& errorSink() {
    static MessageSink sink;
    return sink;
}

std::wstring& appTitle() {
    static std::wstring title = L"Clipdeck";
    return title;
}

std::string describe(long dispid, HRESULT hr) {
    char text[96];
    std::snprintf(text, sizeof text, "dispatch call 0x%lX failed (HRESULT 0x%08lX)",
                  static_cast<unsigned long>(dispid), static_cast<unsigned long>(hr));
    return text;
}

}  // namespace

DispatchError::DispatchError(long dispid, HRESULT hr)
    : std::runtime_error(describe(dispid, hr)), dispid_(dispid), hr_(hr) {}

void ShowMessage(HWND owner, const std::wstring& text) {
    if (messageSink()) {
        messageSink()(owner, text);
        return;
    }
    ::MessageBoxW(owner, text.c_str(), appTitle().c_str(), MB_OK);
}

void ReportError(HWND owner, const std::wstring& text) {
    if (errorSink()) {
        errorSink()(owner, text);
        return;
    }
    ::MessageBoxW(owner, text.c_str(), appTitle().c_str(), MB_OK | MB_ICONERROR);
}

void SetMessageSink(MessageSink sink) { messageSink() = std::move(sink); }
void SetErrorSink(MessageSink sink) { errorSink() = std::move(sink); }
const std::wstring& AppTitle() { return appTitle(); }

std::wstring Widen(const char* text) { return text ? common::Utf8ToUtf16(text) : std::wstring(); }

}  // namespace fw
