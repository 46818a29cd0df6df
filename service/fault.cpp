#include "fault.h"

#include <array>
#include <utility>

namespace clipdeck::service {

namespace {

struct KindName {
    FaultKind kind;
    std::string_view name;
    bool takesArg;
    bool needsArg;
};

constexpr std::array<KindName, 8> kKinds{{
    {FaultKind::Refuse, "refuse", false, false},
    {FaultKind::Reset, "reset", true, false},
    {FaultKind::Stall, "stall", false, false},
    {FaultKind::Partial, "partial", true, true},
    {FaultKind::Drip, "drip", true, true},
    {FaultKind::Long, "long", true, false},
    {FaultKind::Short, "short", true, false},
    {FaultKind::Delay, "delay", true, true},
}};

// Large enough for any media we serve; small enough that sums cannot wrap.
constexpr std::uint64_t kMaxNumber = std::uint64_t{1} << 40;
// Per byte for drip, per answer for delay.
constexpr std::uint64_t kMaxWaitMs = 60'000;

std::optional<std::uint64_t> ParseCount(std::string_view text) {
    if (text.empty() || text.size() > 13) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > kMaxNumber) return std::nullopt;
    return value;
}

FaultParse Fail(std::string message) { return {std::nullopt, std::move(message)}; }

}  // namespace

FaultParse ParseFaultRule(std::string_view text) {
    // The prefix may hold '=' of a query; the kind never does.
    const std::size_t eq = text.rfind('=');
    if (eq == std::string_view::npos) return Fail("a fault is written PREFIX=KIND[:ARG][@AFTER]");
    FaultRule rule;
    rule.prefix = std::string(text.substr(0, eq));
    if (rule.prefix.empty() || rule.prefix.front() != '/') return Fail("the fault's prefix must start with '/'");
    std::string_view rest = text.substr(eq + 1);

    if (const std::size_t at = rest.find('@'); at != std::string_view::npos) {
        std::string_view after = rest.substr(at + 1);
        rest = rest.substr(0, at);
        if (!after.empty() && after.back() == 'b') {
            rule.afterBytes = true;
            after.remove_suffix(1);
        }
        const auto count = ParseCount(after);
        if (!count) return Fail("'@" + std::string(after) + "' is not a count of requests (N) or bytes (Nb)");
        rule.after = *count;
    }
    std::string_view name = rest;
    std::optional<std::string_view> arg;
    if (const std::size_t colon = rest.find(':'); colon != std::string_view::npos) {
        name = rest.substr(0, colon);
        arg = rest.substr(colon + 1);
    }
    const KindName* kind = nullptr;
    for (const KindName& k : kKinds)
        if (k.name == name) kind = &k;
    if (kind == nullptr)
        return Fail("unknown fault '" + std::string(name) +
                    "' (refuse, reset, stall, partial, drip, long, short, delay)");
    rule.kind = kind->kind;
    if (arg && !kind->takesArg) return Fail("the fault " + std::string(name) + " takes no argument");
    if (!arg && kind->needsArg) return Fail("the fault " + std::string(name) + " needs :N");
    if (arg) {
        const auto value = ParseCount(*arg);
        if (!value) return Fail("'" + std::string(*arg) + "' is not a number");
        if (rule.kind == FaultKind::Drip && (*value == 0 || *value > kMaxWaitMs))
            return Fail("drip takes 1 to " + std::to_string(kMaxWaitMs) + " ms a byte");
        if (rule.kind == FaultKind::Delay && (*value == 0 || *value > kMaxWaitMs))
            return Fail("delay takes 1 to " + std::to_string(kMaxWaitMs) + " ms");
        rule.arg = *value;
    }
    return {std::move(rule), {}};
}

std::string FormatFaultRule(const FaultRule& rule) {
    std::string text = rule.prefix + "=";
    for (const KindName& k : kKinds)
        if (k.kind == rule.kind) text += k.name;
    if (rule.arg) text += ":" + std::to_string(*rule.arg);
    if (rule.after > 0 || rule.afterBytes) text += "@" + std::to_string(rule.after) + (rule.afterBytes ? "b" : "");
    return text;
}

std::string_view FaultTarget(std::string_view target) {
    for (std::string_view scheme : {"http://", "https://"}) {
        if (target.substr(0, scheme.size()) != scheme) continue;
        const std::size_t slash = target.find('/', scheme.size());
        return slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
    }
    return target;
}

void FaultPlan::Replace(std::vector<FaultRule> rules) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
    for (FaultRule& rule : rules) entries_.push_back({std::move(rule), 0, 0});
    ++generation_;
}

std::vector<FaultRule> FaultPlan::Rules() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<FaultRule> rules;
    for (const Entry& entry : entries_) rules.push_back(entry.rule);
    return rules;
}

FaultPlan::Decision FaultPlan::Decide(std::string_view target) {
    target = FaultTarget(target);
    std::lock_guard<std::mutex> lock(mutex_);
    Decision decision;
    decision.generation = generation_;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& entry = entries_[i];
        if (target.substr(0, entry.rule.prefix.size()) != entry.rule.prefix) continue;
        const std::uint64_t done = entry.rule.afterBytes ? entry.bytes : entry.requests;
        ++entry.requests;
        if (done >= entry.rule.after) decision.fault = entry.rule;
        else decision.rule = static_cast<int>(i);
        break;
    }
    return decision;
}

void FaultPlan::AddBytes(const Decision& decision, std::uint64_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (decision.rule < 0 || decision.generation != generation_) return;
    auto& entry = entries_[static_cast<std::size_t>(decision.rule)];
    entry.bytes = std::min(kMaxNumber, entry.bytes + bytes);
}

std::string_view FaultHelpText() {
    return "  --fault RULE      answer requests whose target starts with PREFIX badly on\n"
           "                    purpose (repeatable; the first matching rule counts).\n"
           "                    RULE is PREFIX=KIND[:ARG][@AFTER], KIND one of:\n"
           "                      refuse      close at once without answering\n"
           "                      reset[:N]   reset (RST) at once, or after the head\n"
           "                                  and N body bytes\n"
           "                      stall       send the head, then nothing\n"
           "                      partial:N   the head and N body bytes (fewer than\n"
           "                                  all), then close\n"
           "                      drip:MS     the whole answer, one byte every MS ms\n"
           "                      long[:N]    Content-Length N (default 1) more than\n"
           "                                  the body; the body, then close\n"
           "                      short[:N]   Content-Length N (default 1) less than\n"
           "                                  the body; all of it, then close\n"
           "                      delay:MS    the whole answer after MS ms (a slow\n"
           "                                  host)\n"
           "                    @N answers the first N matching requests normally,\n"
           "                    @Nb those that start before N body bytes were sent.\n"
           "                    Example: --fault /media/=reset@3\n"
           "                    A running service takes new rules from\n"
           "                    GET /_faults?set=RULE&set=RULE... (percent-encoded;\n"
           "                    none: no faults); counts start afresh.\n";
}

}  // namespace clipdeck::service
