#pragma once
// Command line of clipdeck-service, and the lines it prints.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fault.h"

namespace clipdeck::service {

inline constexpr int kDefaultPort = 8480;
inline constexpr int kMaxLatencyMs = 600'000;

struct Options {
    std::string bind = "127.0.0.1";
    int port = kDefaultPort;  // 0: any free port
    std::string catalogue;
    int latencyMs = 0;
    int forcedStatus = 0;     // 0: answer normally
    std::string portFile;     // empty: none
    std::vector<std::string> mediaDirs;  // served folders, in the order given
    std::vector<FaultRule> faults;
};

struct OptionsParse {
    Options options;
    bool showHelp = false;
    std::string error;  // empty when the command line is sound
};

// `args` excludes the program name. Accepts "--name value" and "--name=value".
OptionsParse ParseOptions(const std::vector<std::string>& args, std::string defaultCatalogue);

std::string UsageText(std::string_view defaultCatalogue);

// "127.0.0.1:8480", "[::1]:8480".
std::string FormatAddress(std::string_view host, int port);

// One request log line (no newline): method, target, status, body bytes,
// milliseconds. Bytes that are not printable ASCII are written as %XX so a
// hostile target cannot forge or break log lines.
std::string FormatLogLine(std::string_view method, std::string_view target, int status,
                          std::uint64_t bytes, long long ms);

}  // namespace clipdeck::service
