// The decode thread: its loop over the model's commands and the session's
// work, what it shares with the window, and the process's count of decode
// threads that its exit waits for.
#include "decoder.h"

#include <mfapi.h>

#include <algorithm>
#include <vector>

#include "com_edge.h"
#include "common/detached_thread.h"
#include "session.h"

namespace playerctl {

namespace {

// Every decode thread of the process. A thread still tearing its media down
// when the process exits races Wine's media stack, whose own threads then
// crash the process on the way out: the exit stops them all and waits for
// them first. Never destroyed, so a thread that comes back later still
// finds it.
struct DecoderThreads {
    std::mutex mutex;
    std::condition_variable done;
    int running = 0;
    std::vector<std::weak_ptr<MediaDecoder::Shared>> live;

    static DecoderThreads& Get() {
        static auto* threads = new DecoderThreads;
        return *threads;
    }
};

// Media that never returns from the media stack cannot be waited for
// forever: after this the process goes on exiting.
constexpr auto kExitWait = std::chrono::seconds(5);

struct StopDecodersAtExit {
    ~StopDecodersAtExit() {
        ThreadEdge([] { MediaDecoder::StopAll(kExitWait); }, [] {});
    }
} stopDecodersAtExit;

// One step of the thread's work. Whatever it throws (memory running out, a
// surprise from the media stack) fails the media, which the player shows as
// error 5, instead of ending the process.
template <typename Step>
void Guarded(Session& s, Step&& step) noexcept {
    ThreadEdge(std::forward<Step>(step), [&s] { s.Fail(); });
}

}  // namespace

bool MediaDecoder::StopAll(std::chrono::milliseconds wait) {
    DecoderThreads& threads = DecoderThreads::Get();
    std::unique_lock<std::mutex> lock(threads.mutex);
    for (const std::weak_ptr<Shared>& weak : threads.live) {
        std::shared_ptr<Shared> shared = weak.lock();
        if (shared) shared->Quit();
    }
    threads.live.clear();
    return threads.done.wait_for(lock, wait, [&threads] { return threads.running == 0; });
}

void MediaDecoder::Shared::Quit() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        quit = true;
        notify = nullptr;
        // Media Foundation may be waiting on reads of this media: failing
        // them lets it give up.
        if (cache) cache->Cancel();
    }
    wake.notify_all();
}

void MediaDecoder::Shared::Publish() {
    if (notifyPending || !notify) return;
    notifyPending = PostMessageW(notify, message, 0, 0) != 0;
}

MediaDecoder::MediaDecoder(CacheFactory makeCache, HWND notify, UINT message) : shared_(std::make_shared<Shared>()) {
    shared_->makeCache = std::move(makeCache);
    shared_->notify = notify;
    shared_->message = message;
    DecoderThreads& threads = DecoderThreads::Get();
    std::lock_guard<std::mutex> lock(threads.mutex);
    std::erase_if(threads.live, [](const std::weak_ptr<Shared>& weak) { return weak.expired(); });
    threads.live.push_back(shared_);
    common::StartDetached([shared = shared_]() mutable {
        Run(std::move(shared));
        // Last: the media and everything shared are gone by now.
        DecoderThreads& threads = DecoderThreads::Get();
        std::lock_guard<std::mutex> lock(threads.mutex);
        --threads.running;
        threads.done.notify_all();
    });
    // Counted once it exists; it cannot end before this, being held at the lock.
    ++threads.running;
}

MediaDecoder::~MediaDecoder() { shared_->Quit(); }

void MediaDecoder::Send(MediaCommand command) {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->commands.push_back(std::move(command));
    }
    shared_->wake.notify_all();
}

MediaReport MediaDecoder::Report() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->notifyPending = false;
    return shared_->report;
}

void MediaDecoder::SetGain(float gain) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->gain = std::clamp(gain, 0.0f, 1.0f);
}

AudioStats MediaDecoder::Audio() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->audio;
}

bool MediaDecoder::TakeFrame(DecodedFrame& frame) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->front.number <= frame.number) return false;
    std::swap(shared_->front, frame);
    // The picture the window showed until now is not needed again.
    shared_->front.sample.Reset();
    return true;
}

void MediaDecoder::Run(std::shared_ptr<Shared> shared) noexcept {
    Shared& sh = *shared;
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // Once for the process and never shut down: decoders come and go on
    // threads of their own, and a shutdown by one that ends stops the work
    // queues another is still reading through.
    static const bool started = SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_FULL));
    Session s;
    ThreadEdge(
        [&] {
            std::unique_lock<std::mutex> lock(sh.mutex);
            while (!sh.quit) {
                std::int64_t waitMs = 0;
                s.SetGain(sh.gain);
                if (!sh.commands.empty()) {
                    MediaCommand command = std::move(sh.commands.front());
                    sh.commands.pop_front();
                    std::shared_ptr<BlockCache> cache;
                    Guarded(s, [&] {
                        if (command.kind != MediaCommand::Kind::Open) return;
                        cache = sh.makeCache(command.path);
                        sh.cache = cache;
                    });
                    lock.unlock();
                    Guarded(s, [&] {
                        if (started)
                            s.Carry(std::move(cache), command);
                        else if (command.kind == MediaCommand::Kind::Open)
                            s.Fail();
                    });
                    s.SetSerial(command.serial);
                    lock.lock();
                } else {
                    lock.unlock();
                    Guarded(s, [&] { waitMs = s.Work(); });
                    lock.lock();
                }
                bool newFrame = s.PublishFrame(sh.front);
                MediaReport r = s.Report();
                const MediaReport& old = sh.report;
                bool changed = r.serial != old.serial || r.failed != old.failed || r.showing != old.showing ||
                               r.starved != old.starved || r.ended != old.ended || r.durationMs != old.durationMs ||
                               r.bytesFetched != old.bytesFetched || newFrame;
                sh.report = r;
                sh.audio = s.Audio();
                if (changed) sh.Publish();
                if (!sh.commands.empty() || sh.quit) continue;
                auto due = [&sh] { return sh.quit || !sh.commands.empty(); };
                if (waitMs < 0)
                    sh.wake.wait(lock, due);
                else if (waitMs > 0)
                    sh.wake.wait_for(lock, std::chrono::milliseconds(waitMs), due);
            }
        },
        [&] {
            // The loop itself broke: the window hears that the media failed.
            std::lock_guard<std::mutex> lock(sh.mutex);
            sh.report.failed = true;
            sh.Publish();
        });
    ThreadEdge([&] { s.Close(); }, [] {});
    if (SUCCEEDED(com)) CoUninitialize();
}

}  // namespace playerctl
