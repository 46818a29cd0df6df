// ProbeMedia on Linux: libavformat reads the container's header. Nothing is
// decoded (avformat_find_stream_info would decode the first frames, ten times
// the cost), so the profile comes from the stream's own configuration record
// or, for VP9, from its first frame header.

#include "media.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

namespace clipdeck::service {

namespace {

std::string Tag(AVDictionary* metadata, const char* key) {
    AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);
    return entry != nullptr && entry->value != nullptr ? entry->value : "";
}

// The profile as the codec's configuration record in the container writes it
// (avcC, hvcC, av1C), or from the first frame's header for VP9; -1 unknown.
int ProfileOf(AVFormatContext* context, int streamIndex) {
    const AVCodecParameters* codec = context->streams[streamIndex]->codecpar;
    const std::uint8_t* extra = codec->extradata;
    const int extraSize = codec->extradata_size;
    switch (codec->codec_id) {
    case AV_CODEC_ID_H264:
        return extra != nullptr && extraSize >= 4 && extra[0] == 1 ? extra[1] : -1;
    case AV_CODEC_ID_HEVC:
        return extra != nullptr && extraSize >= 2 && extra[0] == 1 ? (extra[1] & 0x1F) : -1;
    case AV_CODEC_ID_AV1:
        return extra != nullptr && extraSize >= 2 && (extra[0] & 0x80) != 0 ? (extra[1] >> 5) : -1;
    case AV_CODEC_ID_VP9: {
        // Uncompressed header: frame_marker (2 bits, binary 10), then the
        // profile's low bit and its high bit.
        AVPacket* packet = av_packet_alloc();
        if (packet == nullptr) return -1;
        int profile = -1;
        for (int read = 0; read < 64 && av_read_frame(context, packet) >= 0; ++read) {
            const bool ours = packet->stream_index == streamIndex;
            if (ours && packet->size > 0 && (packet->data[0] >> 6) == 2)
                profile = ((packet->data[0] >> 5) & 1) | (((packet->data[0] >> 4) & 1) << 1);
            av_packet_unref(packet);
            if (ours) break;
        }
        av_packet_free(&packet);
        return profile;
    }
    default:
        return -1;
    }
}

}  // namespace

std::optional<MediaProbe> ProbeMedia(const std::string& path, std::string* error) {
    auto fail = [&](std::string why) -> std::optional<MediaProbe> {
        if (error != nullptr) *error = std::move(why);
        return std::nullopt;
    };
    // The service's output is its log; libavformat's chatter stays out of it.
    av_log_set_level(AV_LOG_QUIET);
    // The container the name says first: probing for it would try every
    // format libavformat knows (and bring in the code of each).
    const std::string type = MediaContentType(path);
    const AVInputFormat* named = av_find_input_format(type == "video/webm" ? "matroska" : "mp4");
    AVFormatContext* context = nullptr;
    if (type.empty() || avformat_open_input(&context, path.c_str(), named, nullptr) < 0) {
        context = nullptr;
        if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0)
            return fail("not a media file libavformat can open");
    }
    struct Closer {
        AVFormatContext*& context;
        ~Closer() { avformat_close_input(&context); }
    } closer{context};
    int stream = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    auto known = [&] {
        return stream >= 0 && context->streams[stream]->codecpar->height > 0 &&
               ((context->duration != AV_NOPTS_VALUE && context->duration > 0) ||
                (context->streams[stream]->duration != AV_NOPTS_VALUE && context->streams[stream]->duration > 0));
    };
    // Headers that leave the picture size or the length open: read on into
    // the streams, as a player would.
    if (!known()) {
        if (avformat_find_stream_info(context, nullptr) < 0) return fail("cannot read its streams");
        stream = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    }
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
    probe.title = CleanMediaText(Tag(context->metadata, "title"));
    probe.artist = CleanMediaText(Tag(context->metadata, "artist"));
    probe.problem = PlaybackProblem({avcodec_get_name(video->codecpar->codec_id), ProfileOf(context, stream)});
    return probe;
}

}  // namespace clipdeck::service
