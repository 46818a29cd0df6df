#pragma once
// Start-up marks: where the time from launch to the main window goes.
//
// With CLIPDECK_STARTUP_MARKS naming a file, each mark appends one line
// "<milliseconds> <label>" to it; the milliseconds are the performance
// counter's, which every process on the machine shares, so a program that
// starts Clipdeck can set the marks against its own clock. Without the
// variable a mark costs one check of a flag.

#include <string>
#include <vector>

// Appends `label` with the time now, when marks are asked for.
void StartupMark(const char* label);

// One line of the file: the time and the label.
struct StartupMarkLine {
    double ms = 0;
    std::string label;
};

// The lines of a marks file's text; lines that are not "<number> <label>"
// are skipped.
std::vector<StartupMarkLine> ParseStartupMarks(const std::string& text);
