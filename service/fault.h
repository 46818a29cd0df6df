#pragma once
// Faults the service puts on purpose into the answers to chosen request
// targets, so that tests can see what each client does with a broken host.
// Rules are written PREFIX=KIND[:ARG][@AFTER]; see FaultHelpText().

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace clipdeck::service {

enum class FaultKind {
    Refuse,   // close at once, nothing sent
    Reset,    // reset (RST) at once, or after the head and ARG body bytes
    Stall,    // the head, then nothing until the client goes away
    Partial,  // the head and ARG body bytes (never all of them), then close
    Drip,     // the whole answer, one byte every ARG ms
    Long,     // Content-Length ARG more than the body; the body, then close
    Short,    // Content-Length ARG less than the body; all of it, then close
    Delay,    // the whole answer after ARG ms (a slow host), then close
};

struct FaultRule {
    std::string prefix;  // matched against the request's path and query
    FaultKind kind = FaultKind::Refuse;
    std::optional<std::uint64_t> arg;
    std::uint64_t after = 0;  // answer normally until this many requests/bytes
    bool afterBytes = false;  // `after` counts body bytes, not requests
};

struct FaultParse {
    std::optional<FaultRule> rule;
    std::string error;  // set when rule is empty
};

FaultParse ParseFaultRule(std::string_view text);
std::string FormatFaultRule(const FaultRule& rule);

// The target compared with the prefixes: a proxy's absolute form
// ("http://host:port/path?q") counts from its path.
std::string_view FaultTarget(std::string_view target);

// The rules in force and what matching requests have had so far. Thread-safe:
// requests are answered on several threads, and the rules can be replaced
// while they run.
class FaultPlan {
public:
    struct Decision {
        std::optional<FaultRule> fault;  // set: answer with this fault
        // For a normal answer counted against a rule: hand back to AddBytes.
        std::uint64_t generation = 0;
        int rule = -1;
    };

    // Replaces every rule and starts every count afresh.
    void Replace(std::vector<FaultRule> rules);
    std::vector<FaultRule> Rules() const;

    // The first rule whose prefix starts `target` decides: a fault once it
    // is due, else a normal answer that counts towards it.
    Decision Decide(std::string_view target);

    // Body bytes of a normal answer that Decide let through.
    void AddBytes(const Decision& decision, std::uint64_t bytes);

private:
    struct Entry {
        FaultRule rule;
        std::uint64_t requests = 0;
        std::uint64_t bytes = 0;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    std::uint64_t generation_ = 0;
};

// The "--fault" part of the usage text.
std::string_view FaultHelpText();

}  // namespace clipdeck::service
