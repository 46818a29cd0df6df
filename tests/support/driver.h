#pragma once
// What every program that drives the built Clipdeck from outside starts
// with (the end-to-end and soak drivers, the benchmarks): the helpers for
// another process's windows, Clipdeck's windows as seen from there, and the
// bounds of the waits for the program.

#include <windows.h>

#include "clipdeck_ui.h"
#include "remote_ui.h"
#include "res/resource.h"

namespace clipdeck_driver {

using remote_ui::Failure;
using remote_ui::NowMs;
using remote_ui::PollUntil;
using remote_ui::Print;
using remote_ui::Program;

// A cold Wine start can take seconds; everything after that is quick.
inline constexpr DWORD kStartMs = 30000;
// Start to " player Load Complete!".
inline constexpr DWORD kReadyMs = 20000;
// A player event after a click (the service answers on loopback).
inline constexpr DWORD kEventMs = 10000;

}  // namespace clipdeck_driver
