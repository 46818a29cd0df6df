#pragma once
// The two trace channels.
//
// Trace: one line for every traced player call, reply, player event and
// answer, handed to the registered sink (the monitor window). The program
// wires the sink at start; with none registered the lines go nowhere.
//
// StdTrace: standard output, which is a console only with the debug switch
// and the null device otherwise.

#include <string>

class TraceSink {
public:
    virtual void AppendTrace(std::wstring text) = 0;

protected:
    ~TraceSink() = default;
};

// Registers the sink of Trace; null unregisters. The sink must outlive its
// registration.
void SetTraceSink(TraceSink* sink);
TraceSink* CurrentTraceSink();

// Formats a line (printf rules, wide) and hands it to the sink, if any.
void Trace(const wchar_t* format, ...);

void StdTrace(const wchar_t* format, ...);
