#include "core/host_wait.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

std::mutex hostsMutex;
std::condition_variable hostsSettled;
bool pending = false;

}  // namespace

void MarkHostsPending() {
    std::lock_guard<std::mutex> lock(hostsMutex);
    pending = true;
}

void SettleHosts() {
    {
        std::lock_guard<std::mutex> lock(hostsMutex);
        pending = false;
    }
    hostsSettled.notify_all();
}

bool HostsPending() {
    std::lock_guard<std::mutex> lock(hostsMutex);
    return pending;
}

bool WaitForHosts(unsigned long timeoutMs) {
    std::unique_lock<std::mutex> lock(hostsMutex);
    return hostsSettled.wait_for(lock, std::chrono::milliseconds(timeoutMs), [] { return !pending; });
}
