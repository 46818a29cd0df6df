#include "media_folder.h"

#include <algorithm>
#include <cstdio>

#include "paths.h"

namespace clipdeck::service {

namespace fs = std::filesystem;

MediaFolder::MediaFolder(std::string dir, int index)
    : dir_(std::move(dir)), path_(PathFromUtf8(dir_)), index_(index) {}

MediaFolder::Listing MediaFolder::List(SteadyTime now, FileTime fileNow) {
    Listing listing;
    std::map<std::string, Entry> seen;
    std::error_code ec;
    for (fs::directory_iterator it(path_, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fileError;
        if (!it->is_regular_file(fileError)) continue;
        std::string name = Utf8FromPath(it->path().filename());
        if (MediaContentType(name).empty()) continue;
        Entry facts;
        facts.size = it->file_size(fileError);
        if (!fileError) facts.written = it->last_write_time(fileError);
        if (fileError) continue;  // gone between the listing and the look
        seen.emplace(std::move(name), std::move(facts));
    }
    if (ec) {
        listing.error = dir_ + ": " + ec.message();
        seen.clear();
    }

    for (auto& [name, facts] : seen) {
        auto old = files_.find(name);
        if (old != files_.end() && old->second.size == facts.size && old->second.written == facts.written) {
            facts = std::move(old->second);
        } else {
            if (old != files_.end() && old->second.state == State::Ready) listing.withdrawn = true;
            facts.sameSince = now;
        }
        const bool still = fileNow - facts.written >= kSettleTime || now - facts.sameSince >= kSettleTime;
        if (facts.state == State::Waiting && still) facts.state = State::Due;
        if (facts.state == State::Due) listing.due.push_back(name);
    }
    for (const auto& [name, entry] : files_) {
        if (entry.state == State::Ready && seen.count(name) == 0) listing.withdrawn = true;
    }
    files_ = std::move(seen);
    return listing;
}

std::string MediaFolder::Read(const std::string& name) {
    auto it = files_.find(name);
    if (it == files_.end() || it->second.state != State::Due) return {};
    Entry& entry = it->second;
    entry.fresh = true;
    std::string error;
    auto probe = ProbeMedia(Utf8FromPath(path_ / PathFromUtf8(name)), &error);
    if (!probe) {
        entry.state = State::Skipped;
        entry.texts = std::make_unique<MediaProbe>();
        entry.texts->problem = error;
        return error;
    }
    entry.state = State::Ready;
    entry.height = probe->height;
    entry.seconds = probe->seconds;
    if (!probe->title.empty() || !probe->artist.empty() || !probe->problem.empty())
        entry.texts = std::make_unique<MediaProbe>(std::move(*probe));
    return {};
}

std::vector<Catalogue::Shared> MediaFolder::Videos(std::vector<std::string>& warnings) {
    // Ready files by group key, then name: a sort, not a map, to keep what a
    // large folder costs while the videos are made small.
    struct Member {
        std::string key;
        std::pair<const std::string, Entry>* file;
    };
    std::vector<Member> members;
    for (auto& file : files_) {
        if (file.second.state == State::Ready) members.push_back({GroupKeyForFile(file.first).key, &file});
    }
    std::stable_sort(members.begin(), members.end(), [](const Member& a, const Member& b) { return a.key < b.key; });

    // Groups in order of their first file's name.
    struct Group {
        std::size_t first, count;
    };
    std::vector<Group> groups;
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (i == 0 || members[i].key != members[i - 1].key) groups.push_back({i, 0});
        ++groups.back().count;
    }
    std::sort(groups.begin(), groups.end(), [&](const Group& a, const Group& b) {
        return members[a.first].file->first < members[b.first].file->first;
    });

    std::vector<Catalogue::Shared> videos;
    videos.reserve(groups.size());
    const std::string dirShown = ShownName(dir_);
    for (const Group& group : groups) {
        Entry& lead = members[group.first].file->second;
        if (group.count == 1 && !lead.fresh && lead.video) {
            videos.push_back(lead.video);
            continue;
        }
        const std::string& key = members[group.first].key;
        Video video;
        video.id = MediaVideoId(key);
        video.folder = index_;
        double longest = 0;
        std::string title, artist;
        for (std::size_t m = group.first; m < group.first + group.count; ++m) {
            const std::string& name = members[m].file->first;
            Entry& entry = members[m].file->second;
            entry.fresh = false;
            entry.video.reset();
            const Quality quality = QualityForHeight(entry.height);
            if (std::find(video.levels.begin(), video.levels.end(), quality) != video.levels.end()) {
                warnings.push_back(dirShown + "/" + ShownName(name) + ": level " +
                                   std::string(common::QualityName(quality)) + " of " + ShownName(key) +
                                   " is already taken; skipped");
                continue;
            }
            video.levels.push_back(quality);
            video.media.push_back({quality, name, entry.size, MediaContentType(name)});
            longest = std::max(longest, entry.seconds);
            if (entry.texts) {
                if (title.empty()) title = entry.texts->title;
                if (artist.empty()) artist = entry.texts->artist;
                if (video.note.empty()) video.note = entry.texts->problem;
            }
        }
        std::sort(video.levels.begin(), video.levels.end(), std::greater<>());
        std::sort(video.media.begin(), video.media.end(),
                  [](const MediaFile& a, const MediaFile& b) { return a.quality > b.quality; });
        video.seconds = LengthSeconds(longest);
        std::string name = CleanMediaText(GroupKeyForFile(members[group.first].file->first).name);
        video.title = !title.empty() ? title : !name.empty() ? name : "Video " + video.id;
        video.author = artist.empty() ? "Local media" : artist;
        video.colour = MediaColour(key);
        video.published = DateOfFileTime(lead.written);
        auto shared = std::make_shared<const Video>(std::move(video));
        if (group.count == 1) lead.video = shared;
        videos.push_back(std::move(shared));
    }
    return videos;
}

std::vector<SkippedFile> MediaFolder::Skipped() const {
    std::vector<SkippedFile> skipped;
    for (const auto& [name, entry] : files_) {
        if (entry.state == State::Skipped)
            skipped.push_back({ShownName(Utf8FromPath(path_ / PathFromUtf8(name))), entry.texts->problem});
    }
    return skipped;
}

std::size_t MediaFolder::Waiting() const {
    return static_cast<std::size_t>(std::count_if(files_.begin(), files_.end(), [](const auto& file) {
        return file.second.state == State::Waiting || file.second.state == State::Due;
    }));
}

std::string DateOfFileTime(FileTime written) {
    using namespace std::chrono;
    const auto days = floor<std::chrono::days>(file_clock::to_sys(written));
    if (days < sys_days{}) return "1970-01-01";
    const year_month_day date{days};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

}  // namespace clipdeck::service
