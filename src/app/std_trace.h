#pragma once
// The debug console's trace channel: standard output, which is a console
// only with the debug switch and the null device otherwise.

void StdTrace(const wchar_t* format, ...);
