#pragma once
// The program's own service: whether it is needed, the port it listens on
// and the command line it is started with. Pure text; the process itself is
// service_launcher's.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/host_port.h"

namespace launch {

// The service's file names, beside Clipdeck.exe.
inline constexpr wchar_t kServiceProgram[] = L"clipdeck-service.exe";
inline constexpr wchar_t kServiceCatalogue[] = L"catalogue\\catalogue.tsv";
inline constexpr wchar_t kDemoFolder[] = L"demo";
inline constexpr wchar_t kServiceLog[] = L"clipdeck-service.log";

// The port the service has always had, so that the library page keeps its
// address from one run to the next.
inline constexpr int kServicePort = 8480;

// The feed host and the player host as one source gives them; empty when
// that source names none.
struct Hosts {
    std::wstring feed;
    std::wstring player;
};

struct HostChoice {
    // Neither the variables nor the settings file name a host: the program
    // starts its own service and points both hosts at it.
    bool startService = false;
    // Hosts taken from the settings file, to be set as the variables; empty
    // for a host that keeps its variable (or its default).
    Hosts fromSettings;
};

// A variable wins over the settings file; blank values count as unset.
HostChoice ChooseHosts(const Hosts& variables, const Hosts& settings);

// The service's exit status when it cannot listen (or write its port file).
inline constexpr unsigned long kServiceCannotListen = 1;

// The port for the next start after a start on `port` ended with
// `exitStatus` before it listened: any free port after the usual one was
// taken, and nothing otherwise.
std::optional<int> PortAfterFailedStart(int port, unsigned long exitStatus);

// The port the service wrote to its port file: a number from 1 to 65535,
// white space around it allowed. Nothing for a file still being written or
// holding anything else.
std::optional<int> ParsePortFile(std::string_view text);

// "127.0.0.1:PORT": where both hosts point when the service listens.
std::wstring ServiceHost(int port);

// The library page of a host: "http://HOST/" (":port" unless it is 80).
std::wstring LibraryUrl(const common::HostPort& host);

struct ServiceStart {
    std::wstring program;                    // clipdeck-service.exe, full path
    int port = kServicePort;                 // 0: any free port
    std::wstring portFile;                   // where it writes its port once it listens
    std::wstring catalogue;                  // empty: the service's own default
    std::vector<std::wstring> mediaFolders;  // served beside the catalogue, in order
};

// The whole command line, the program first, each argument quoted as the C
// runtime splits it.
std::wstring ServiceCommandLine(const ServiceStart& start);

// One argument as the C runtime's (and CommandLineToArgvW's) splitting
// reads it back unchanged: plain when it has no blank or quote, otherwise in
// quotes, with the backslashes before a quote (or before the closing quote)
// doubled and each quote escaped.
std::wstring QuoteArgument(std::wstring_view argument);

}  // namespace launch
