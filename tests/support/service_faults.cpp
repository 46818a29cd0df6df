#include "service_faults.h"

#include <windows.h>

#include "common/host_port.h"
#include "common/percent.h"
#include "common/win/http_get.h"

namespace clipdeck::test {

std::wstring ServiceHostSetting() {
    wchar_t value[256] = {};
    const DWORD length = GetEnvironmentVariableW(L"CLIPDECK_PLAYER_HOST", value, 256);
    return length > 0 && length < 256 ? std::wstring(value, length) : std::wstring();
}

std::wstring ServiceUrl(const std::wstring& target) { return L"http://" + ServiceHostSetting() + target; }

bool SetServiceFaults(const std::vector<std::string>& rules) {
    const auto host = common::ParseHostPort(ServiceHostSetting());
    if (!host) return false;
    std::string query;
    for (const std::string& rule : rules) query += (query.empty() ? "?set=" : "&set=") + common::PercentEncode(rule);
    common::HttpGetRequest request;
    request.host = host->name;
    request.port = host->port;
    request.pathAndQuery = L"/_faults" + std::wstring(query.begin(), query.end());
    request.userAgent = L"Clipdeck tests";
    request.maxBody = 4096;
    const common::HttpGetResult result = common::HttpGet(request);
    return result.answered && result.status == 200 && result.complete;
}

}  // namespace clipdeck::test
