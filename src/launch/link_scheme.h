#pragma once
// The clipdeck: links, registered for the current user only
// (HKCU\Software\Classes\clipdeck), so no administrator rights are needed.

#include <string>

namespace launch {

// Registers the links to start `programPath` when they are not registered,
// or when the program they start is gone (its folder moved or deleted).
// Returns true when it wrote the registration.
bool RegisterLinkSchemeIfMissing(const std::wstring& programPath);

enum class Unregistered { Removed, NotRegistered, Failed };
Unregistered UnregisterLinkScheme();

}  // namespace launch
