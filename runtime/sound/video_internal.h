// Shared between the files of video playback only: the demuxer and decoders
// over FFmpeg's libraries, fed from a file or from bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct VideoDecoder;

// Largest picture taken: as the sprite loaders, at most 2^26 pixels and 16384
// pixels a side, so one frame never asks for more than 256 MB.
constexpr int kVideoMaxSide = 16384;
constexpr int64_t kVideoMaxPixels = int64_t(1) << 26;

// Opens a container with a video stream the installed FFmpeg decodes and a
// picture of a size above. `audioFrequency` and `audioChannels` (1 or 2) are
// the format the sound track is converted to; 0 leaves the sound track out.
// Null when the input cannot be opened, has no such video stream or the
// picture size is 0 or too large.
VideoDecoder* VideoOpenFile(const char* path, int audioFrequency, int audioChannels);
// The same over `size` bytes at `data`, which must outlive the decoder.
VideoDecoder* VideoOpenMemory(const uint8_t* data, size_t size, int audioFrequency,
                              int audioChannels);
void VideoClose(VideoDecoder* decoder);

int VideoWidth(const VideoDecoder* decoder);
int VideoHeight(const VideoDecoder* decoder);
// Seconds between pictures by the stream's frame rate (1/25 when it has none).
double VideoFramePeriod(const VideoDecoder* decoder);
bool VideoHasAudio(const VideoDecoder* decoder);

// Reads and decodes ahead until `pictures` pictures wait, or the sound track
// decoded so far reaches `audioSeconds` past the time of the last picture
// taken, or the input ends. Reads at most `packetLimit` packets per call.
void VideoReadAhead(VideoDecoder* decoder, size_t pictures, double audioSeconds, int packetLimit);
// True when the input has ended (or failed) and every decoded picture was taken.
bool VideoPicturesEnded(const VideoDecoder* decoder);
// Whether a decoded picture waits, and its time in seconds from the start.
bool VideoPeekPicture(const VideoDecoder* decoder, double& seconds);
// The time of the picture after the waiting one, when it is decoded already.
bool VideoPeekSecondPicture(const VideoDecoder* decoder, double& seconds);
// Takes the waiting picture: with `rgba` not null, converted to width x height
// RGBA rows (top row first) into it; null drops it unconverted. False when none waits.
bool VideoTakePicture(VideoDecoder* decoder, std::vector<uint8_t>* rgba, double& seconds);
// Moves the decoded sound (interleaved 16-bit samples of the channels asked
// for) into `samples`, appending; returns the frames moved. `startSeconds`
// gets the time of the first sample of the track, once known.
size_t VideoTakeAudio(VideoDecoder* decoder, std::vector<int16_t>& samples, double& startSeconds);
// True when the sound track has ended (or there is none) and all was taken.
bool VideoAudioEnded(const VideoDecoder* decoder);
// Back to the start, the decoders emptied. False when the input cannot seek.
bool VideoRewind(VideoDecoder* decoder);
