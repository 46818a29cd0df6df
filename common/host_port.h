#pragma once
// "host[:port]" as the program's settings and the player's movie addresses
// write a server.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace common {

inline constexpr std::uint16_t kDefaultHttpPort = 80;

struct HostPort {
    std::wstring name;
    std::uint16_t port = kDefaultHttpPort;

    bool operator==(const HostPort&) const = default;
};

// The host is a name or a dotted address (letters, digits, '-', '_', '.';
// no empty label; at most 253 characters); the port, when a ':' follows, is
// one to five digits giving 1 to 65535, and 80 when absent. Anything else,
// blanks included, gives nothing.
std::optional<HostPort> ParseHostPort(std::wstring_view text);

}  // namespace common
