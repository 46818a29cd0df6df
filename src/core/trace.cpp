#include "core/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace {

TraceSink* currentSink = nullptr;

}  // namespace

void SetTraceSink(TraceSink* sink) { currentSink = sink; }
TraceSink* CurrentTraceSink() { return currentSink; }

void Trace(const wchar_t* format, ...) {
    if (!currentSink) return;
    va_list args;
    va_start(args, format);
    std::wstring text;
    // Request texts can be long: grow the buffer until the line fits. A
    // result that fills the buffer may have been cut, so it counts as short.
    for (size_t size = 512; size <= (1u << 24); size *= 4) {
        text.assign(size, L'\0');
        va_list attempt;
        va_copy(attempt, args);
        int n = std::vswprintf(text.data(), size, format, attempt);
        va_end(attempt);
        if (n >= 0 && static_cast<size_t>(n) < size - 1) {
            text.resize(static_cast<size_t>(n));
            break;
        }
        text.clear();
    }
    va_end(args);
    currentSink->AppendTrace(std::move(text));
}

void StdTrace(const wchar_t* format, ...) {
    wchar_t buffer[1024];
    va_list args;
    va_start(args, format);
    int n = std::vswprintf(buffer, sizeof buffer / sizeof buffer[0], format, args);
    va_end(args);
    if (n < 0) return;
    std::fputws(buffer, stdout);
    std::fflush(stdout);
}
