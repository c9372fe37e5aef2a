// Video playback: pictures per second decoded and shown in the game window
// (headless, each picture drawn and swapped as soon as it is due), against the
// decode-only rate of the same file. The videos, without sound so that the
// clock is the bench's own, are made with the ffmpeg command-line tool.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/engine.h"
#include "sound/sound.h"
#include "sound/video_internal.h"

namespace {

// The play clock moves one picture period per picture shown, so every
// picture is due at once and none is dropped or waited for; a microsecond a
// read besides, so that the end, one period after the last picture, comes.
double benchNow = 0;
double BenchClock() { return benchNow += 0.001; }
void NextPicture() { benchNow += 40.0; }

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool MakeVideo(const std::string& path, int width, int height, int pictures) {
    std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=" +
                          std::to_string(width) + "x" + std::to_string(height) +
                          ":rate=25 -frames:v " + std::to_string(pictures) +
                          " -c:v mpeg4 -q:v 4 '" + path + "'";
    return std::system(command.c_str()) == 0;
}

double DecodeOnly(const std::string& path, int& pictures) {
    pictures = 0;
    VideoDecoder* decoder = VideoOpenFile(path.c_str(), 0, 0);
    if (!decoder) return 0;
    std::vector<uint8_t> rgba;
    double seconds = 0;
    auto start = std::chrono::steady_clock::now();
    while (!VideoPicturesEnded(decoder)) {
        VideoReadAhead(decoder, 4, 0, 64);
        if (VideoTakePicture(decoder, &rgba, seconds)) ++pictures;
    }
    double elapsed = Seconds(start);
    VideoClose(decoder);
    return elapsed > 0 ? pictures / elapsed : 0;
}

}  // namespace

int main() {
    char pattern[] = "/tmp/revev-video-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string dir = pattern;
    setenv("SDL_AUDIODRIVER", "none", 1);
    engine.screenWidth = 1280;
    engine.screenHeight = 720;
    engine.frameRateLimit = 0;
    if (!StartUp("", 1, "ReVev")) return 1;

    std::printf("%-10s %8s %16s %16s %7s\n", "video", "pictures", "decode only/s", "decode+show/s",
                "ratio");
    struct Size {
        int width, height;
    };
    for (Size size : {Size{640, 480}, Size{1280, 720}}) {
        const std::string path = dir + "/" + std::to_string(size.width) + ".avi";
        if (!MakeVideo(path, size.width, size.height, 250)) {
            std::printf("ffmpeg could not make %s\n", path.c_str());
            return 1;
        }
        SetScreen(size.width, size.height, 0);
        int decoded = 0;
        double decodeRate = DecodeOnly(path, decoded);

        benchNow = 0;
        SetClockSource(BenchClock);
        SetVideoFrameHook(NextPicture);
        auto start = std::chrono::steady_clock::now();
        PlayVideo(path.c_str(), 0);
        double elapsed = Seconds(start);
        SetVideoFrameHook(nullptr);
        SetClockSource(nullptr);
        VideoPlayback played = LastVideoPlayback();
        double showRate = elapsed > 0 ? played.shown / elapsed : 0;
        char name[32];
        std::snprintf(name, sizeof name, "%dx%d", size.width, size.height);
        std::printf("%-10s %8d %16.1f %16.1f %7.2f\n", name, played.shown, decodeRate, showRate,
                    decodeRate > 0 ? showRate / decodeRate : 0);
        if (played.dropped != 0) std::printf("  (%d pictures dropped)\n", played.dropped);
    }
    std::string command = "rm -rf '" + dir + "'";
    if (std::system(command.c_str()) != 0) return 1;
    return 0;
}
