#pragma once
// Texts the list windows show for an item.

#include <string>

// "m:ss" of a length in seconds taken as unsigned: whole minutes, no hours
// (3725 reads "62:05").
std::wstring DurationText(int seconds);
