#pragma once
// Tests run by with-service.sh reach the local service through
// CLIPDECK_PLAYER_HOST (127.0.0.1:PORT); these helpers change the faults it
// puts into its answers while it runs.

#include <string>
#include <vector>

namespace clipdeck::test {

// The service's address as the environment gives it ("127.0.0.1:PORT"),
// empty when the test was not started by with-service.sh.
std::wstring ServiceHostSetting();

// "http://127.0.0.1:PORT" followed by `target`.
std::wstring ServiceUrl(const std::wstring& target);

// Replaces the service's fault rules (PREFIX=KIND[:ARG][@AFTER]; none: no
// faults) and starts their counts afresh. False when the service refused.
bool SetServiceFaults(const std::vector<std::string>& rules);

}  // namespace clipdeck::test
