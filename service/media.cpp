#include "media.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <map>

#include "common/utf8.h"

namespace clipdeck::service {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxSeconds = 359999;

std::string Tag(AVDictionary* metadata, const char* key) {
    AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);
    return entry != nullptr && entry->value != nullptr ? entry->value : "";
}

// Text from a file fit for titles: valid UTF-8, controls made blanks, trimmed.
std::string CleanText(std::string text) {
    if (!common::IsValidUtf8(text)) return {};
    for (char& c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = ' ';
    }
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) return {};
    return text.substr(start, text.find_last_not_of(' ') - start + 1);
}

std::uint64_t Fnv1a64(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string DateOf(const fs::path& path) {
    std::error_code ec;
    auto written = fs::last_write_time(path, ec);
    std::time_t stamp = 0;
    if (!ec) {
        stamp = std::chrono::system_clock::to_time_t(
            std::chrono::time_point_cast<std::chrono::system_clock::duration>(
                std::chrono::file_clock::to_sys(written)));
    }
    std::tm parts{};
    gmtime_r(&stamp, &parts);
    if (parts.tm_year < 70) return "1970-01-01";
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday);
    return text;
}

struct ProbedFile {
    fs::path path;
    std::uint64_t bytes = 0;
    MediaProbe probe;
};

// Size and probe of one file; a message when either fails.
std::optional<ProbedFile> ReadFile(const fs::path& path, std::string& message) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        message = path.string() + ": not a readable file";
        return std::nullopt;
    }
    ProbedFile file{path, fs::file_size(path, ec), {}};
    if (ec) {
        message = path.string() + ": " + ec.message();
        return std::nullopt;
    }
    std::string error;
    auto probe = ProbeMedia(path.string(), &error);
    if (!probe) {
        message = path.string() + ": " + error;
        return std::nullopt;
    }
    file.probe = std::move(*probe);
    return file;
}

}  // namespace

std::optional<MediaProbe> ProbeMedia(const std::string& path, std::string* error) {
    auto fail = [&](std::string why) -> std::optional<MediaProbe> {
        if (error != nullptr) *error = std::move(why);
        return std::nullopt;
    };
    // The service's output is its log; libavformat's chatter stays out of it.
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0)
        return fail("not a media file libavformat can open");
    struct Closer {
        AVFormatContext*& context;
        ~Closer() { avformat_close_input(&context); }
    } closer{context};
    if (avformat_find_stream_info(context, nullptr) < 0) return fail("cannot read its streams");
    const int stream = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0) return fail("holds no video stream");
    const AVStream* video = context->streams[stream];

    MediaProbe probe;
    probe.height = video->codecpar->height;
    if (probe.height <= 0) return fail("its video stream has no picture size");
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0) {
        probe.seconds = static_cast<double>(context->duration) / AV_TIME_BASE;
    } else if (video->duration != AV_NOPTS_VALUE && video->duration > 0) {
        probe.seconds = static_cast<double>(video->duration) * av_q2d(video->time_base);
    } else {
        return fail("has no known length");
    }
    probe.title = CleanText(Tag(context->metadata, "title"));
    probe.artist = CleanText(Tag(context->metadata, "artist"));
    return probe;
}

Quality QualityForHeight(int height) {
    if (height <= 240) return Quality::Small;
    if (height <= 360) return Quality::Medium;
    if (height <= 480) return Quality::Large;
    if (height <= 720) return Quality::Hd720;
    if (height <= 1080) return Quality::Hd1080;
    return Quality::Highres;
}

int LengthSeconds(double seconds) {
    if (!(seconds > 0)) return 1;
    if (seconds >= kMaxSeconds) return kMaxSeconds;
    return std::max(1, static_cast<int>(std::lround(seconds)));
}

MediaGroupKey GroupKeyForFile(std::string_view fileName) {
    std::string_view stem = fileName;
    std::string ext;
    if (std::size_t dot = fileName.rfind('.'); dot != std::string_view::npos && dot > 0) {
        stem = fileName.substr(0, dot);
        ext = std::string(fileName.substr(dot));
        for (char& c : ext) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
    }
    std::string_view name = stem;
    std::string_view digits = stem;
    if (!digits.empty() && digits.back() == 'p') digits.remove_suffix(1);
    std::size_t end = digits.size();
    std::size_t start = end;
    while (start > 0 && digits[start - 1] >= '0' && digits[start - 1] <= '9') --start;
    if (start < end && start >= 2 && digits[start - 1] == '_') name = stem.substr(0, start - 1);
    return {std::string(name) + ext, std::string(name)};
}

std::string MediaVideoId(std::string_view key) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::uint64_t hash = Fnv1a64(key);
    std::string id;
    for (int i = 0; i < 11; ++i) {
        id += kAlphabet[hash & 63];
        hash >>= 6;
    }
    return id;
}

MediaLoad LoadMediaDir(const std::string& dir) {
    MediaLoad load;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        load.error = dir + ": not a folder";
        return load;
    }
    std::vector<fs::path> files;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        if (MediaContentType(it->path().filename().string()).empty()) continue;
        files.push_back(it->path());
    }
    if (ec) {
        load.error = dir + ": " + ec.message();
        return load;
    }
    std::sort(files.begin(), files.end());

    // Groups in order of their first file; within one, levels in file-name order.
    std::vector<std::pair<MediaGroupKey, std::vector<ProbedFile>>> groups;
    std::map<std::string, std::size_t> groupIndex;
    for (const fs::path& path : files) {
        std::string message;
        auto file = ReadFile(path, message);
        if (!file) {
            load.warnings.push_back(message + "; skipped");
            continue;
        }
        MediaGroupKey key = GroupKeyForFile(path.filename().string());
        auto [it, fresh] = groupIndex.emplace(key.key, groups.size());
        if (fresh) groups.push_back({key, {}});
        groups[it->second].second.push_back(std::move(*file));
    }

    std::map<std::string, std::string> idOwner;
    for (auto& [key, members] : groups) {
        Video video;
        video.id = MediaVideoId(key.key);
        if (auto [owner, fresh] = idOwner.emplace(video.id, key.key); !fresh) {
            load.warnings.push_back(dir + ": " + key.key + " has the same ID " + video.id + " as " +
                                    owner->second + "; skipped");
            continue;
        }
        double longest = 0;
        std::string title, artist;
        for (ProbedFile& file : members) {
            const Quality quality = QualityForHeight(file.probe.height);
            auto taken = std::find(video.levels.begin(), video.levels.end(), quality);
            if (taken != video.levels.end()) {
                load.warnings.push_back(file.path.string() + ": level " +
                                        std::string(common::QualityName(quality)) +
                                        " of " + key.key + " is already taken; skipped");
                continue;
            }
            video.levels.push_back(quality);
            video.media.push_back({quality, fs::absolute(file.path).string(), file.bytes,
                                   MediaContentType(file.path.filename().string())});
            longest = std::max(longest, file.probe.seconds);
            if (title.empty()) title = file.probe.title;
            if (artist.empty()) artist = file.probe.artist;
        }
        std::sort(video.levels.begin(), video.levels.end(), std::greater<>());
        std::sort(video.media.begin(), video.media.end(),
                  [](const MediaFile& a, const MediaFile& b) { return a.quality > b.quality; });
        video.seconds = LengthSeconds(longest);
        std::string name = CleanText(key.name);
        video.title = !title.empty() ? title : !name.empty() ? name : "Video " + video.id;
        video.author = artist.empty() ? "Local media" : artist;
        video.colour = static_cast<std::uint32_t>(Fnv1a64(key.key) >> 40) & 0xFFFFFFu;
        video.published = DateOf(members.front().path);
        load.videos.push_back(std::move(video));
    }
    return load;
}

std::vector<std::string> ResolveCatalogueMedia(std::vector<Video>& videos,
                                               const std::string& baseDir) {
    std::vector<std::string> messages;
    for (Video& video : videos) {
        double longest = 0;
        for (MediaFile& media : video.media) {
            fs::path path(media.path);
            if (path.is_relative()) path = fs::path(baseDir) / path;
            std::string message;
            auto file = ReadFile(path, message);
            if (!file) {
                messages.push_back("video " + video.id + ": " + message);
                continue;
            }
            media.path = fs::absolute(path).string();
            media.bytes = file->bytes;
            longest = std::max(longest, file->probe.seconds);
        }
        if (longest > 0) video.seconds = LengthSeconds(longest);
    }
    return messages;
}

}  // namespace clipdeck::service
