#include "app/std_trace.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

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
