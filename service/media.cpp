#include "media.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "common/utf8.h"
#include "paths.h"

namespace clipdeck::service {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxSeconds = 359999;

std::uint64_t Fnv1a64(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

}  // namespace

std::string PlaybackProblem(const VideoCoding& coding) {
    // Measured with the platform's source reader under Wine 8 (GStreamer):
    // these open with MF_E_INVALIDMEDIATYPE; H.264 up to High 4:2:2, VP8,
    // VP9 profile 0, HEVC, AV1 and MPEG-4 Part 2 decode.
    const int profile = coding.profile;
    if (coding.codec == "vp9" && profile >= 1 && profile <= 3)
        return "VP9 profile " + std::to_string(profile) +
               (profile == 2 ? " (10-bit colour)" : profile == 1 ? " (4:4:4 colour)" : " (4:4:4, 10-bit colour)") +
               " does not decode here; encode it as VP9 profile 0 (-pix_fmt yuv420p)";
    if (coding.codec == "h264" && (profile == 110 || profile == 244 || profile == 44))
        return std::string("H.264 ") + (profile == 110 ? "High 10" : "High 4:4:4") +
               " does not decode here; encode it as H.264 High (-pix_fmt yuv420p)";
    return {};
}

std::string CleanMediaText(std::string text) {
    if (!common::IsValidUtf8(text)) return {};
    for (char& c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = ' ';
    }
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) return {};
    return text.substr(start, text.find_last_not_of(' ') - start + 1);
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

std::uint32_t MediaColour(std::string_view key) {
    return static_cast<std::uint32_t>(Fnv1a64(key) >> 40) & 0xFFFFFFu;
}

std::vector<std::string> ResolveCatalogueMedia(std::vector<Video>& videos,
                                               const std::string& baseDir) {
    std::vector<std::string> messages;
    for (Video& video : videos) {
        double longest = 0;
        for (MediaFile& media : video.media) {
            fs::path path = PathFromUtf8(media.path);
            if (path.is_relative()) path = PathFromUtf8(baseDir) / path;
            const std::string shown = Utf8FromPath(path);
            std::error_code ec;
            if (!fs::is_regular_file(path, ec)) {
                messages.push_back("video " + video.id + ": " + shown + ": not a readable file");
                continue;
            }
            const std::uint64_t bytes = fs::file_size(path, ec);
            std::string error;
            auto probe = ec ? std::nullopt : ProbeMedia(shown, &error);
            if (!probe) {
                messages.push_back("video " + video.id + ": " + shown + ": " +
                                   (ec ? ec.message() : error));
                continue;
            }
            media.path = Utf8FromPath(fs::absolute(path));
            media.bytes = bytes;
            longest = std::max(longest, probe->seconds);
            if (video.note.empty()) video.note = probe->problem;
        }
        if (longest > 0) video.seconds = LengthSeconds(longest);
    }
    return messages;
}

}  // namespace clipdeck::service
