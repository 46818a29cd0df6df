#include "launch/service_plan.h"

namespace launch {

namespace {

bool IsBlank(std::wstring_view text) {
    for (wchar_t c : text) {
        if (c != L' ' && c != L'\t') return false;
    }
    return true;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

HostChoice ChooseHosts(const Hosts& variables, const Hosts& settings) {
    HostChoice choice;
    const bool feedVariable = !IsBlank(variables.feed);
    const bool playerVariable = !IsBlank(variables.player);
    if (!feedVariable && !IsBlank(settings.feed)) choice.fromSettings.feed = settings.feed;
    if (!playerVariable && !IsBlank(settings.player)) choice.fromSettings.player = settings.player;
    choice.startService = !feedVariable && !playerVariable && choice.fromSettings.feed.empty() &&
                          choice.fromSettings.player.empty();
    return choice;
}

std::optional<int> PortAfterFailedStart(int port, unsigned long exitStatus) {
    if (port == kServicePort && exitStatus == kServiceCannotListen) return 0;
    return std::nullopt;
}

std::optional<int> ParsePortFile(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsSpace(text[begin])) ++begin;
    while (end > begin && IsSpace(text[end - 1])) --end;
    if (begin == end || end - begin > 5) return std::nullopt;
    int port = 0;
    for (size_t i = begin; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        port = port * 10 + (text[i] - '0');
    }
    if (port < 1 || port > 65535) return std::nullopt;
    return port;
}

std::wstring ServiceHost(int port) { return L"127.0.0.1:" + std::to_wstring(port); }

std::wstring LibraryUrl(const common::HostPort& host) {
    std::wstring url = L"http://" + host.name;
    if (host.port != common::kDefaultHttpPort) url += L":" + std::to_wstring(host.port);
    return url + L"/";
}

std::wstring QuoteArgument(std::wstring_view argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
        return std::wstring(argument);
    }
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            // The backslashes before a quote are doubled, and the quote gets
            // one of its own.
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted += c;
    }
    // Before the closing quote, too: "C:\" must not end as \".
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

std::wstring ServiceCommandLine(const ServiceStart& start) {
    std::wstring line = QuoteArgument(start.program);
    auto add = [&line](std::wstring_view name, std::wstring_view value) {
        line += L' ';
        line += name;
        line += L' ';
        line += QuoteArgument(value);
    };
    add(L"--port", std::to_wstring(start.port));
    add(L"--port-file", start.portFile);
    if (!start.catalogue.empty()) add(L"--catalogue", start.catalogue);
    for (const std::wstring& folder : start.mediaFolders) add(L"--media-dir", folder);
    return line;
}

}  // namespace launch
