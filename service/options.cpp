#include "options.h"

#include <optional>

#include "common/percent.h"

namespace clipdeck::service {

namespace {

std::optional<int> ParseNumber(std::string_view text, int min, int max) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < min || value > max) return std::nullopt;
    return value;
}

}  // namespace

OptionsParse ParseOptions(const std::vector<std::string>& args, std::string defaultCatalogue) {
    OptionsParse result;
    Options& options = result.options;
    options.catalogue = std::move(defaultCatalogue);

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.showHelp = true;
            return result;
        }
        std::string name(arg);
        std::optional<std::string> value;
        if (std::size_t eq = arg.find('='); arg.substr(0, 2) == "--" && eq != std::string::npos) {
            name = std::string(arg.substr(0, eq));
            value = std::string(arg.substr(eq + 1));
        }
        const bool known = name == "--port" || name == "--bind" || name == "--catalogue" ||
                           name == "--latency-ms" || name == "--status" || name == "--port-file" ||
                           name == "--media-dir" || name == "--fault";
        if (!known) {
            result.error = "unknown option '" + std::string(arg) + "'";
            return result;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                result.error = "option " + name + " needs a value";
                return result;
            }
            value = args[++i];
        }

        auto fail = [&](const std::string& what) {
            result.error = "option " + name + ": '" + *value + "' is not " + what;
            return result;
        };
        if (name == "--port") {
            auto port = ParseNumber(*value, 0, 65535);
            if (!port) return fail("a port number from 0 to 65535");
            options.port = *port;
        } else if (name == "--bind") {
            if (value->empty()) return fail("an address");
            options.bind = *value;
        } else if (name == "--catalogue") {
            if (value->empty()) return fail("a file path");
            options.catalogue = *value;
        } else if (name == "--latency-ms") {
            auto ms = ParseNumber(*value, 0, kMaxLatencyMs);
            if (!ms) return fail("a delay from 0 to " + std::to_string(kMaxLatencyMs) + " ms");
            options.latencyMs = *ms;
        } else if (name == "--status") {
            auto status = ParseNumber(*value, 200, 599);
            if (!status) return fail("an HTTP status from 200 to 599");
            options.forcedStatus = *status;
        } else if (name == "--fault") {
            FaultParse fault = ParseFaultRule(*value);
            if (!fault.rule) {
                result.error = "option --fault: " + fault.error;
                return result;
            }
            options.faults.push_back(std::move(*fault.rule));
        } else if (name == "--media-dir") {
            if (value->empty()) return fail("a folder");
            options.mediaDirs.push_back(*value);
        } else {
            if (value->empty()) return fail("a file path");
            options.portFile = *value;
        }
    }
    return result;
}

std::string UsageText(std::string_view defaultCatalogue) {
    std::string text =
        "Usage: clipdeck-service [options]\n"
        "\n"
        "Answers on one port for the video service's hosts, and lists what it serves:\n"
        "  GET /                              the library page: every video, for a browser\n"
        "  GET /library.txt[?wait=S]          the same as a text table (S: wait up to S\n"
        "                                     seconds for the folders to be read first)\n"
        "  GET /find?name=TEXT                the ID of the video whose file name holds TEXT\n"
        "  GET /feeds/api/videos/<id>         the video's entry document (Atom)\n"
        "  GET /apiplayer?...                 the player movie\n"
        "  GET /get_video_info?video_id=<id>  what the player needs to play the video\n"
        "  GET /watch?v=<id>                  a plain watch page\n"
        "  GET /media/<id>/<level>            a video file, with Range support\n"
        "\n"
        "Options (also written --name=value):\n"
        "  --port N          port to listen on (default 8480; 0 picks a free port)\n"
        "  --bind ADDR       address to listen on (default 127.0.0.1)\n"
        "  --catalogue PATH  catalogue file (default ";
    text += defaultCatalogue;
    text +=
        ")\n"
        "  --latency-ms N    wait N ms before every answer (0 to 600000; default 0)\n"
        "  --status N        answer every request with HTTP status N (200 to 599),\n"
        "                    body \"Forced status N\"\n"
        "  --port-file PATH  once listening, write the port number to PATH\n"
        "  --media-dir DIR   also serve every .mp4, .m4v and .webm file in DIR as a video\n"
        "                    (NAME_360.mp4 and NAME_720.mp4 are two levels of one video);\n"
        "                    repeatable; files that come, go or change are followed\n";
    text += FaultHelpText();
    text +=
        "  --help            show this text\n"
        "\n"
        "Once listening it prints \"clipdeck-service listening on ADDR:PORT\", then one line\n"
        "per video with media (\"media ID LEVELS SECONDS TITLE\") as the folders are read,\n"
        "\"removed ID\" for a video whose files went, \"scanned N folders: ...\" once they\n"
        "have all been read through, and one line per request (ending \"fault RULE\" when\n"
        "a fault answered it). A request whose Host is neither this machine (a loopback\n"
        "address, localhost, the address it came in on) nor the video service's gets\n"
        "403. SIGINT or SIGTERM (Ctrl+C or Ctrl+Break on Windows) stops it. Exit status:\n"
        "0 after a stop, 1 when it cannot listen or write the port file, 2 for a bad\n"
        "option, catalogue or media folder.\n";
    return text;
}

std::string FormatAddress(std::string_view host, int port) {
    std::string text;
    if (host.find(':') != std::string_view::npos) text = "[" + std::string(host) + "]";
    else text = std::string(host);
    return text + ":" + std::to_string(port);
}

std::string FormatLogLine(std::string_view method, std::string_view target, int status,
                          std::uint64_t bytes, long long ms) {
    using common::PercentEncode, common::PercentKeep;
    std::string line = PercentEncode(method.empty() ? std::string_view("-") : method, PercentKeep::Visible);
    line += ' ';
    line += PercentEncode(target.empty() ? std::string_view("-") : target, PercentKeep::Visible);
    line += ' ' + std::to_string(status) + ' ' + std::to_string(bytes) + " bytes " +
            std::to_string(ms) + " ms";
    return line;
}

}  // namespace clipdeck::service
