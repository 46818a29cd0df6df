#include "media_folder.h"

#include <algorithm>
#include <cstdio>

#include "paths.h"

namespace clipdeck::service {

namespace fs = std::filesystem;

MediaFolder::MediaFolder(std::string dir, int index)
    : dir_(std::move(dir)), path_(PathFromUtf8(dir_)), index_(index) {}

MediaFolder::Listing MediaFolder::List(SteadyTime now, FileTime fileNow, bool whole) {
    Listing listing;
    const std::uint32_t pass = ++listing_;
    const auto settle = std::chrono::duration_cast<std::chrono::nanoseconds>(kSettleTime).count();
    const auto look = [&](std::map<std::string, Entry, std::less<>>::iterator it, std::uint64_t size,
                          FileTime written) {
        if (it->second.listed != 0 && (it->second.size != size || it->second.written != written)) {
            // Changed: withdrawn, and read again once it is still.
            if (it->second.state == State::Ready) listing.withdrawn = true;
            it->second = Entry{};
        }
        Entry& entry = it->second;
        if (entry.listed == 0) entry.sameSince = now;
        entry.size = size;
        entry.written = written;
        entry.listed = pass;
        const bool still = fileNow - written >= settle || now - entry.sameSince >= kSettleTime;
        if (entry.state == State::Waiting && still) entry.state = State::Due;
        if (entry.state == State::Due) listing.due.push_back(it->first);
    };

    // The folder's names unchanged since the last whole listing: only the
    // files still waiting are looked at again.
    const std::optional<FileTime> namesWritten = FolderWriteTime(dir_);
    if (!whole && namesWritten && namesWritten == namesWritten_ && now - wholeListed_ < wholeApart_) {
        for (auto it = files_.begin(); it != files_.end();) {
            Entry& entry = it->second;
            if (entry.state != State::Waiting && entry.state != State::Due) {
                entry.listed = pass;
                ++it;
                continue;
            }
            if (const std::optional<FileFacts> facts = StatFile(dir_, it->first)) {
                look(it, facts->size, facts->written);
                ++it;
            } else {
                it = files_.erase(it);
            }
        }
        std::sort(listing.due.begin(), listing.due.end());
        return listing;
    }

    const auto started = std::chrono::steady_clock::now();
    std::string error;
    const bool listed = ListFolder(
        dir_, [](std::string_view name) { return !MediaContentType(name).empty(); },
        [&](std::string_view name, std::uint64_t size, FileTime written) {
            auto it = files_.find(name);
            if (it == files_.end()) it = files_.emplace(std::string(name), Entry{}).first;
            look(it, size, written);
        },
        error);
    if (!listed) listing.error = dir_ + ": " + error;
    namesWritten_ = listed ? namesWritten : std::nullopt;
    wholeListed_ = now;
    wholeApart_ = std::clamp<std::chrono::steady_clock::duration>((std::chrono::steady_clock::now() - started) * 100,
                                                                 kWholeListingsApart[0], kWholeListingsApart[1]);
    for (auto it = files_.begin(); it != files_.end();) {
        if (it->second.listed == pass && listed) {
            ++it;
            continue;
        }
        if (it->second.state == State::Ready) listing.withdrawn = true;
        it = files_.erase(it);
    }
    // The listing comes in the folder's order; files are read in name order.
    std::sort(listing.due.begin(), listing.due.end());
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
    if (written < 0) return "1970-01-01";
    const year_month_day date{floor<days>(sys_time<nanoseconds>(nanoseconds(written)))};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

}  // namespace clipdeck::service
