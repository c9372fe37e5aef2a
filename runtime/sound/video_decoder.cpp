// Video decoding over FFmpeg's libraries: the container demuxed from a file or
// from memory, pictures decoded ahead into a short queue and converted to
// RGBA only when shown, the sound track resampled into the device's format.
#include "sound/video_internal.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <deque>
#include <mutex>

// ---------------------------------------------------------------------------
// Types

struct VideoDecoder {
    AVFormatContext* format = nullptr;
    AVIOContext* io = nullptr;          // memory input only
    const uint8_t* memory = nullptr;
    size_t memorySize = 0;
    size_t memoryPosition = 0;

    int videoIndex = -1;
    AVCodecContext* video = nullptr;
    int width = 0, height = 0;
    double framePeriod = 0.04;
    double origin = 0;                  // seconds of the container's start
    SwsContext* scaler = nullptr;
    // The scaler's own target: its vector code may write past the end of a
    // row, so rows are 64-byte aligned with one spare row below them.
    std::vector<uint8_t> scaled;
    int scaledStride = 0;
    std::deque<AVFrame*> pictures;      // decoded, not yet taken
    std::deque<double> pictureTimes;
    double lastPictureTime = -1;        // last decoded, for pictures without a time
    double lastTakenTime = 0;

    int audioIndex = -1;
    AVCodecContext* audio = nullptr;
    SwrContext* resampler = nullptr;
    int outFrequency = 0, outChannels = 0;
    std::vector<int16_t> audioSamples;
    double audioDecodedEnd = 0;         // seconds reached by the decoded sound
    double audioStart = -1;

    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    bool inputEnded = false;
    bool videoDrained = false;
    bool audioDrained = true;
};

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

void QuietenLibraries() {
    static std::once_flag once;
    // Damaged input is refused by results; the libraries' own complaints
    // would only fill the terminal.
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

int ReadMemory(void* opaque, uint8_t* buffer, int size) {
    VideoDecoder* d = static_cast<VideoDecoder*>(opaque);
    size_t left = d->memorySize - d->memoryPosition;
    if (left == 0) return AVERROR_EOF;
    size_t take = (size_t)size < left ? (size_t)size : left;
    std::memcpy(buffer, d->memory + d->memoryPosition, take);
    d->memoryPosition += take;
    return (int)take;
}

int64_t SeekMemory(void* opaque, int64_t offset, int whence) {
    VideoDecoder* d = static_cast<VideoDecoder*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return (int64_t)d->memorySize;
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? (int64_t)d->memoryPosition
                 : whence == SEEK_END ? (int64_t)d->memorySize : -1;
    if (base < 0) return -1;
    int64_t target = base + offset;
    if (target < 0 || target > (int64_t)d->memorySize) return -1;
    d->memoryPosition = (size_t)target;
    return target;
}

AVCodecContext* OpenCodec(AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) return nullptr;
    AVCodecContext* context = avcodec_alloc_context3(codec);
    if (!context) return nullptr;
    if (avcodec_parameters_to_context(context, stream->codecpar) < 0 ||
        avcodec_open2(context, codec, nullptr) < 0) {
        avcodec_free_context(&context);
        return nullptr;
    }
    return context;
}

bool OpenAudio(VideoDecoder& d) {
    int index = av_find_best_stream(d.format, AVMEDIA_TYPE_AUDIO, -1, d.videoIndex, nullptr, 0);
    if (index < 0) return false;
    AVCodecContext* audio = OpenCodec(d.format->streams[index]);
    if (!audio) return false;
    if (audio->sample_rate <= 0 || audio->ch_layout.nb_channels <= 0) {
        avcodec_free_context(&audio);
        return false;
    }
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, d.outChannels);
    SwrContext* resampler = nullptr;
    int made = swr_alloc_set_opts2(&resampler, &outLayout, AV_SAMPLE_FMT_S16, d.outFrequency,
                                   &audio->ch_layout, audio->sample_fmt, audio->sample_rate, 0,
                                   nullptr);
    av_channel_layout_uninit(&outLayout);
    if (made < 0 || swr_init(resampler) < 0) {
        swr_free(&resampler);
        avcodec_free_context(&audio);
        return false;
    }
    d.audioIndex = index;
    d.audio = audio;
    d.resampler = resampler;
    d.audioDrained = false;
    return true;
}

double StreamSeconds(const VideoDecoder& d, int index, int64_t timestamp) {
    if (timestamp == AV_NOPTS_VALUE) return -1;
    return (double)timestamp * av_q2d(d.format->streams[index]->time_base) - d.origin;
}

VideoDecoder* Open(VideoDecoder* d, const char* path, int audioFrequency, int audioChannels) {
    QuietenLibraries();
    if (avformat_open_input(&d->format, path, nullptr, nullptr) < 0) {
        d->format = nullptr;
        VideoClose(d);
        return nullptr;
    }
    if (avformat_find_stream_info(d->format, nullptr) < 0) {
        VideoClose(d);
        return nullptr;
    }
    d->videoIndex = av_find_best_stream(d->format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (d->videoIndex < 0) {
        VideoClose(d);
        return nullptr;
    }
    AVStream* stream = d->format->streams[d->videoIndex];
    d->video = OpenCodec(stream);
    int w = d->video ? d->video->width : 0, h = d->video ? d->video->height : 0;
    if (!d->video || w <= 0 || h <= 0 || w > kVideoMaxSide || h > kVideoMaxSide ||
        (int64_t)w * h > kVideoMaxPixels || d->video->pix_fmt == AV_PIX_FMT_NONE) {
        VideoClose(d);
        return nullptr;
    }
    d->width = w;
    d->height = h;
    AVRational rate = stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0
                          ? stream->avg_frame_rate : stream->r_frame_rate;
    double fps = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
    d->framePeriod = fps >= 1 && fps <= 1000 ? 1.0 / fps : 0.04;
    if (d->format->start_time != AV_NOPTS_VALUE && d->format->start_time > 0)
        d->origin = (double)d->format->start_time / AV_TIME_BASE;

    d->outFrequency = audioFrequency;
    d->outChannels = audioChannels;
    if (audioFrequency > 0 && (audioChannels == 1 || audioChannels == 2)) OpenAudio(*d);

    d->packet = av_packet_alloc();
    d->frame = av_frame_alloc();
    if (!d->packet || !d->frame) {
        VideoClose(d);
        return nullptr;
    }
    return d;
}

void ReceivePictures(VideoDecoder& d) {
    while (avcodec_receive_frame(d.video, d.frame) == 0) {
        // A picture whose size or format changed mid-stream cannot go to the
        // texture made for the first; it is dropped.
        if (d.frame->width != d.width || d.frame->height != d.height) {
            av_frame_unref(d.frame);
            continue;
        }
        double seconds = StreamSeconds(d, d.videoIndex, d.frame->best_effort_timestamp);
        if (seconds < 0 || seconds <= d.lastPictureTime)
            seconds = d.lastPictureTime < 0 ? 0 : d.lastPictureTime + d.framePeriod;
        d.lastPictureTime = seconds;
        AVFrame* kept = av_frame_clone(d.frame);
        av_frame_unref(d.frame);
        if (!kept) continue;
        d.pictures.push_back(kept);
        d.pictureTimes.push_back(seconds);
    }
}

void ReceiveSound(VideoDecoder& d) {
    while (avcodec_receive_frame(d.audio, d.frame) == 0) {
        if (d.audioStart < 0) {
            double seconds = StreamSeconds(d, d.audioIndex, d.frame->best_effort_timestamp);
            d.audioStart = seconds > 0 ? seconds : 0;
            d.audioDecodedEnd = d.audioStart;
        }
        int room = swr_get_out_samples(d.resampler, d.frame->nb_samples);
        if (room > 0) {
            size_t used = d.audioSamples.size();
            d.audioSamples.resize(used + (size_t)room * (size_t)d.outChannels);
            uint8_t* out = reinterpret_cast<uint8_t*>(d.audioSamples.data() + used);
            int got = swr_convert(d.resampler, &out, room, (const uint8_t**)d.frame->extended_data,
                                  d.frame->nb_samples);
            d.audioSamples.resize(used + (size_t)(got > 0 ? got : 0) * (size_t)d.outChannels);
            if (got > 0) d.audioDecodedEnd += (double)got / d.outFrequency;
        }
        av_frame_unref(d.frame);
    }
}

void EndInput(VideoDecoder& d) {
    d.inputEnded = true;
    avcodec_send_packet(d.video, nullptr);
    ReceivePictures(d);
    d.videoDrained = true;
    if (d.audio) {
        avcodec_send_packet(d.audio, nullptr);
        ReceiveSound(d);
    }
    d.audioDrained = true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public

VideoDecoder* VideoOpenFile(const char* path, int audioFrequency, int audioChannels) {
    if (!path || !*path) return nullptr;
    return Open(new VideoDecoder, path, audioFrequency, audioChannels);
}

VideoDecoder* VideoOpenMemory(const uint8_t* data, size_t size, int audioFrequency,
                              int audioChannels) {
    if (!data || size == 0) return nullptr;
    QuietenLibraries();
    VideoDecoder* d = new VideoDecoder;
    d->memory = data;
    d->memorySize = size;
    const int bufferSize = 4096;
    uint8_t* buffer = static_cast<uint8_t*>(av_malloc(bufferSize));
    d->format = avformat_alloc_context();
    if (buffer) d->io = avio_alloc_context(buffer, bufferSize, 0, d, ReadMemory, nullptr, SeekMemory);
    if (!d->io || !d->format) {
        if (!d->io) av_free(buffer);
        VideoClose(d);
        return nullptr;
    }
    d->format->pb = d->io;
    d->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    return Open(d, nullptr, audioFrequency, audioChannels);
}

void VideoClose(VideoDecoder* d) {
    if (!d) return;
    for (AVFrame* picture : d->pictures) av_frame_free(&picture);
    av_frame_free(&d->frame);
    av_packet_free(&d->packet);
    sws_freeContext(d->scaler);
    swr_free(&d->resampler);
    avcodec_free_context(&d->audio);
    avcodec_free_context(&d->video);
    // A failed open frees the context itself and leaves the pointer null.
    if (d->format) avformat_close_input(&d->format);
    if (d->io) {
        av_freep(&d->io->buffer);
        avio_context_free(&d->io);
    }
    delete d;
}

int VideoWidth(const VideoDecoder* d) { return d->width; }
int VideoHeight(const VideoDecoder* d) { return d->height; }
double VideoFramePeriod(const VideoDecoder* d) { return d->framePeriod; }
bool VideoHasAudio(const VideoDecoder* d) { return d->audio != nullptr; }

void VideoReadAhead(VideoDecoder* d, size_t pictures, double audioSeconds, int packetLimit) {
    for (int read = 0; read < packetLimit && !d->inputEnded; ++read) {
        bool enoughPictures = d->pictures.size() >= pictures;
        bool enoughSound = !d->audio || d->audioDecodedEnd >= d->lastTakenTime + audioSeconds;
        if (enoughPictures && enoughSound) break;
        // Pictures never pile up without bound behind a sound track that is
        // far behind them or missing for a while.
        if (d->pictures.size() >= pictures * 8 + 64) break;
        int result = av_read_frame(d->format, d->packet);
        if (result < 0) {
            EndInput(*d);
            break;
        }
        if (d->packet->stream_index == d->videoIndex) {
            // A packet the decoder refuses is skipped; what it decoded so far stays.
            avcodec_send_packet(d->video, d->packet);
            ReceivePictures(*d);
        } else if (d->audio && d->packet->stream_index == d->audioIndex) {
            avcodec_send_packet(d->audio, d->packet);
            ReceiveSound(*d);
        }
        av_packet_unref(d->packet);
    }
}

bool VideoPicturesEnded(const VideoDecoder* d) { return d->inputEnded && d->pictures.empty(); }

bool VideoPeekPicture(const VideoDecoder* d, double& seconds) {
    if (d->pictures.empty()) return false;
    seconds = d->pictureTimes.front();
    return true;
}

bool VideoPeekSecondPicture(const VideoDecoder* d, double& seconds) {
    if (d->pictures.size() < 2) return false;
    seconds = d->pictureTimes[1];
    return true;
}

bool VideoTakePicture(VideoDecoder* d, std::vector<uint8_t>* rgba, double& seconds) {
    if (d->pictures.empty()) return false;
    AVFrame* picture = d->pictures.front();
    seconds = d->pictureTimes.front();
    d->pictures.pop_front();
    d->pictureTimes.pop_front();
    d->lastTakenTime = seconds;
    bool ok = true;
    if (rgba) {
        d->scaler = sws_getCachedContext(d->scaler, d->width, d->height,
                                         (AVPixelFormat)picture->format, d->width, d->height,
                                         AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
        const size_t row = (size_t)d->width * 4;
        d->scaledStride = (int)((row + 63) / 64 * 64);
        d->scaled.resize((size_t)d->scaledStride * (size_t)(d->height + 1) + 64);
        uint8_t* target = d->scaled.data();
        target += (64 - (reinterpret_cast<uintptr_t>(target) & 63)) & 63;
        uint8_t* planes[4] = {target, nullptr, nullptr, nullptr};
        int strides[4] = {d->scaledStride, 0, 0, 0};
        ok = d->scaler && sws_scale(d->scaler, picture->data, picture->linesize, 0, d->height,
                                    planes, strides) == d->height;
        rgba->resize(row * (size_t)d->height);
        for (int y = 0; ok && y < d->height; ++y)
            std::memcpy(rgba->data() + (size_t)y * row, target + (size_t)y * d->scaledStride, row);
    }
    av_frame_free(&picture);
    return ok;
}

size_t VideoTakeAudio(VideoDecoder* d, std::vector<int16_t>& samples, double& startSeconds) {
    if (d->audioStart >= 0) startSeconds = d->audioStart;
    if (d->audioSamples.empty() || d->outChannels <= 0) return 0;
    size_t frames = d->audioSamples.size() / (size_t)d->outChannels;
    samples.insert(samples.end(), d->audioSamples.begin(), d->audioSamples.end());
    d->audioSamples.clear();
    return frames;
}

bool VideoAudioEnded(const VideoDecoder* d) {
    return !d->audio || (d->audioDrained && d->audioSamples.empty());
}

bool VideoRewind(VideoDecoder* d) {
    if (av_seek_frame(d->format, -1, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(d->format, -1, INT64_MIN, 0, INT64_MAX, 0) < 0)
        return false;
    avcodec_flush_buffers(d->video);
    for (AVFrame* picture : d->pictures) av_frame_free(&picture);
    d->pictures.clear();
    d->pictureTimes.clear();
    d->lastPictureTime = -1;
    d->lastTakenTime = 0;
    d->inputEnded = false;
    d->videoDrained = false;
    if (d->audio) {
        avcodec_flush_buffers(d->audio);
        // The resampler keeps the tail of the last call; a new turn starts clean.
        swr_init(d->resampler);
        d->audioSamples.clear();
        d->audioStart = -1;
        d->audioDecodedEnd = 0;
        d->audioDrained = false;
    }
    return true;
}
