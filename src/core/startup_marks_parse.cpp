#include "core/startup_marks.h"

#include <cstdlib>

std::vector<StartupMarkLine> ParseStartupMarks(const std::string& text) {
    std::vector<StartupMarkLine> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t space = line.find(' ');
        if (space == 0 || space == std::string::npos || space + 1 >= line.size()) continue;
        std::string number = line.substr(0, space);
        char* stop = nullptr;
        double ms = std::strtod(number.c_str(), &stop);
        if (stop != number.c_str() + number.size()) continue;
        lines.push_back({ms, line.substr(space + 1)});
    }
    return lines;
}
