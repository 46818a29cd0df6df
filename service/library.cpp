#include "library.h"

#include <algorithm>
#include <unordered_map>

#include "common/quality.h"
#include "paths.h"

namespace clipdeck::service {

namespace {

using std::chrono::steady_clock;

// "media ID LEVELS SECONDS TITLE", so that a user finds the IDs of their files.
std::string MediaLine(const Video& video) {
    std::string levels;
    for (Quality quality : video.levels) {
        if (!levels.empty()) levels += ',';
        levels += common::QualityName(quality);
    }
    return "media " + video.id + " " + levels + " " + std::to_string(video.seconds) + " " +
           video.title;
}

// What tells a published video's change: its line, and the files behind it.
std::uint64_t Fingerprint(const std::string& line, const Video& video) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    auto add = [&](std::string_view text) {
        for (char c : text) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 0x100000001b3ull;
        }
        hash ^= 0xFF;
        hash *= 0x100000001b3ull;
    };
    add(line);
    for (const MediaFile& file : video.media) {
        add(file.path);
        add(std::to_string(file.bytes));
    }
    add(video.published);
    return hash;
}

}  // namespace

std::string LibrarySnapshot::FileOf(const Video& video, const MediaFile& file) const {
    if (video.folder < 0 || static_cast<std::size_t>(video.folder) >= folders.size()) return file.path;
    return Utf8FromPath(PathFromUtf8(folders[video.folder].path) / PathFromUtf8(file.path));
}

Library::Library(Catalogue catalogue, std::vector<std::string> folders, Print out, Print warn)
    : fixed_(std::move(catalogue)), out_(std::move(out)), warn_(std::move(warn)) {
    for (std::string& dir : folders) folders_.emplace_back(std::move(dir), static_cast<int>(folders_.size()));
    folderErrors_.resize(folders_.size());
    auto first = std::make_shared<LibrarySnapshot>();
    first->catalogue = fixed_;
    for (const MediaFolder& folder : folders_)
        first->folders.push_back({ShownName(folder.Dir()), folder.Dir(), 0, 0, {}});
    scanned_ = folders_.empty();
    first->scanned = scanned_;
    snapshot_ = std::move(first);
    listed_ = folders_.empty();
}

Library::~Library() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void Library::Start(std::chrono::milliseconds interval) {
    for (const Video& video : fixed_.Videos()) {
        if (!video.media.empty()) out_(MediaLine(video));
    }
    if (folders_.empty()) return;
    thread_ = std::thread([this, interval] { Run(interval); });
}

std::shared_ptr<const LibrarySnapshot> Library::Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return snapshot_;
}

void Library::AwaitVideo(std::string_view id, std::chrono::milliseconds limit) {
    const auto until = steady_clock::now() + limit;
    std::unique_lock<std::mutex> lock(mutex_);
    const auto known = [&] { return snapshot_->catalogue.Find(id) != nullptr; };
    const auto due = [&] { return dueIds_.find(id) != dueIds_.end(); };
    if (!changed_.wait_until(lock, until, [&] { return listed_ || stop_; })) return;
    if (known()) return;
    if (!due()) {
        // Perhaps a file copied in since the last listing: list the folders
        // again, whole, and look once more.
        const std::uint64_t want = listingsStarted_ + 1;
        wholeWanted_ = true;
        changed_.notify_all();
        if (!changed_.wait_until(lock, until, [&] { return stop_ || listingsDone_ >= want; })) return;
        if (known() || !due()) return;
    }
    const std::string wanted(id);
    wanted_.insert(wanted);
    changed_.notify_all();
    changed_.wait_until(lock, until, [&] { return stop_ || known() || !due(); });
    wanted_.erase(wanted);
}

void Library::AwaitScanned(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return snapshot_->scanned || stop_; });
}

void Library::ScanOnce() { Pass(); }

void Library::Run(std::chrono::milliseconds interval) {
    for (;;) {
        Pass();
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, interval, [&] { return stop_ || wholeWanted_; });
        if (stop_) return;
    }
}

void Library::Pass() {
    const SteadyTime now = steady_clock::now();
    const FileTime fileNow = FileTimeNow();
    struct Due {
        std::size_t folder;
        std::string name;
        std::string id;
    };
    std::vector<Due> due;
    bool changed = false;
    bool whole = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++listingsStarted_;
        whole = wholeWanted_;
        wholeWanted_ = false;
    }
    for (std::size_t i = 0; i < folders_.size(); ++i) {
        MediaFolder::Listing listing = folders_[i].List(now, fileNow, whole);
        if (listing.error != folderErrors_[i]) {
            if (!listing.error.empty()) warn_(listing.error + "; its videos are not served while it cannot be read");
            else warn_(ShownName(folders_[i].Dir()) + ": can be read again");
            folderErrors_[i] = listing.error;
            changed = true;
        }
        changed = changed || listing.withdrawn;
        for (std::string& name : listing.due) {
            std::string id = MediaVideoId(GroupKeyForFile(name).key);
            due.push_back({i, std::move(name), std::move(id)});
        }
    }
    std::map<std::string, std::size_t, std::less<>> dueIds;
    for (const Due& file : due) ++dueIds[file.id];
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dueIds_ = dueIds;
        listed_ = true;
        ++listingsDone_;
    }
    changed_.notify_all();
    if (changed) Publish({}, false);

    // Every file read is published within this time, so that a large
    // folder's videos are served as they are found; a publication costs in
    // proportion to the videos, so the pace follows its cost.
    auto publishEvery = std::chrono::milliseconds(200);
    auto lastPublish = steady_clock::now();
    std::vector<std::string> read;  // IDs whose files were read since the last publication
    std::vector<bool> done(due.size(), false);
    std::size_t next = 0;
    for (std::size_t left = due.size(); left > 0; --left) {
        std::size_t pick = due.size();
        bool urgent = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_) return;
            for (std::size_t k = 0; !wanted_.empty() && k < due.size(); ++k) {
                if (!done[k] && wanted_.count(due[k].id) != 0) {
                    pick = k;
                    urgent = true;
                    break;
                }
            }
        }
        if (pick == due.size()) {
            while (done[next]) ++next;
            pick = next;
        }
        done[pick] = true;
        const Due& file = due[pick];
        const std::string reason = folders_[file.folder].Read(file.name);
        if (!reason.empty())
            warn_(ShownName(Utf8FromPath(PathFromUtf8(folders_[file.folder].Dir()) / PathFromUtf8(file.name))) +
                  ": " + reason + "; skipped");
        read.push_back(file.id);
        const bool idDone = --dueIds[file.id] == 0;
        const auto at = steady_clock::now();
        if ((urgent && idDone) || at - lastPublish >= publishEvery) {
            Publish(read, false);
            read.clear();
            const auto cost = steady_clock::now() - at;
            publishEvery = std::max<std::chrono::milliseconds>(
                std::chrono::milliseconds(200), std::chrono::duration_cast<std::chrono::milliseconds>(cost * 5));
            lastPublish = steady_clock::now();
        }
    }
    // Read through once: every file there was at the start is served or
    // skipped, none is still being written.
    std::size_t waiting = 0;
    for (const MediaFolder& folder : folders_) waiting += folder.Waiting();
    const bool scannedNow = waiting == 0 && !scanned_;
    if (!read.empty() || scannedNow) Publish(read, scannedNow);
}

void Library::Publish(const std::vector<std::string>& read, bool scanned) {
    auto snapshot = std::make_shared<LibrarySnapshot>();
    std::vector<std::string> warnings;
    std::vector<std::vector<Catalogue::Shared>> made;
    std::size_t count = fixed_.Videos().size();
    for (MediaFolder& folder : folders_) {
        made.push_back(folder.Videos(warnings));
        count += made.back().size();
    }
    snapshot->catalogue = fixed_;
    snapshot->catalogue.Reserve(count);
    Published published;
    published.reserve(count);
    for (std::size_t i = 0; i < folders_.size(); ++i) {
        const MediaFolder& folder = folders_[i];
        FolderState state{ShownName(folder.Dir()), folder.Dir(), 0, folder.Waiting(), folderErrors_[i]};
        for (Catalogue::Shared& video : made[i]) {
            const std::string line = MediaLine(*video);
            const std::uint64_t fingerprint = Fingerprint(line, *video);
            const std::string id = video->id;
            const std::string first = video->media.empty() ? std::string() : video->media.front().path;
            if (!snapshot->catalogue.Add(std::move(video))) {
                warnings.push_back(ShownName(Utf8FromPath(PathFromUtf8(folder.Dir()) / PathFromUtf8(first))) +
                                   ": its ID " + id + " is taken by the catalogue or an earlier file; skipped");
                continue;
            }
            ++state.videos;
            published.emplace_back(id, fingerprint);
            auto old = std::lower_bound(published_.begin(), published_.end(), std::make_pair(id, std::uint64_t{0}));
            if (old == published_.end() || old->first != id || old->second != fingerprint) out_(line);
        }
        for (SkippedFile& file : folder.Skipped()) snapshot->skipped.push_back(std::move(file));
        snapshot->folders.push_back(std::move(state));
    }
    made.clear();
    std::sort(published.begin(), published.end());
    for (const auto& [id, fingerprint] : published_) {
        auto now = std::lower_bound(published.begin(), published.end(), std::make_pair(id, std::uint64_t{0}));
        if (now == published.end() || now->first != id) out_("removed " + id);
    }
    published_ = std::move(published);
    std::set<std::string> warned(warnings.begin(), warnings.end());
    for (const std::string& warning : warned) {
        if (warned_.count(warning) == 0) warn_(warning);
    }
    warned_ = std::move(warned);

    if (scanned) {
        scanned_ = true;
        const auto count = [](std::size_t n, const char* one, const char* many) {
            return std::to_string(n) + (n == 1 ? one : many);
        };
        out_("scanned " + count(folders_.size(), " folder: ", " folders: ") +
             count(published_.size(), " video, ", " videos, ") +
             count(snapshot->skipped.size(), " file skipped", " files skipped"));
    }
    snapshot->scanned = scanned_;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& id : read) {
            auto it = dueIds_.find(id);
            if (it != dueIds_.end() && --it->second == 0) dueIds_.erase(it);
        }
        snapshot_ = std::move(snapshot);
    }
    changed_.notify_all();
}

}  // namespace clipdeck::service
