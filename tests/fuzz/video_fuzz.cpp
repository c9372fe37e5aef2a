// Fuzz target: demuxing and decoding a video held in memory. The input is any
// container; whatever opens is read to its end (bounded), every picture
// converted to RGBA and the sound track resampled, as playback would.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sound/video_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VideoDecoder* decoder = VideoOpenMemory(data, size, 22050, 2);
    if (!decoder) return 0;
    const int width = VideoWidth(decoder), height = VideoHeight(decoder);
    if (width <= 0 || height <= 0 || width > kVideoMaxSide || height > kVideoMaxSide) std::abort();
    std::vector<uint8_t> rgba;
    std::vector<int16_t> sound;
    double seconds = 0, start = 0;
    // A few hundred pictures are enough to reach every part of a small input.
    for (int turn = 0; turn < 300 && !VideoPicturesEnded(decoder); ++turn) {
        VideoReadAhead(decoder, 4, 0.5, 64);
        if (VideoTakePicture(decoder, &rgba, seconds) &&
            rgba.size() != (size_t)width * (size_t)height * 4)
            std::abort();
        sound.clear();
        size_t frames = VideoTakeAudio(decoder, sound, start);
        if (sound.size() != frames * 2) std::abort();
        if (turn == 100) VideoRewind(decoder);
    }
    VideoClose(decoder);
    return 0;
}
