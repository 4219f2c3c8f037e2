#pragma once
// What tests and benchmarks do with the video control beyond what the program
// does: frames of known pixels, a source that fails, a slow disk, and waiting
// for frames. The program itself never calls these.
#include "imaging/VideoCapture.h"

#include <QImage>

#include <functional>

struct VideoCaptureTesting {
    // Number of frames received since the last Connect (handed-in ones included).
    static quint64 framesReceived(const VideoCapture& v) { return VideoCapture::Probe::framesReceived(v); }
    // Number of frames handed to the control to paint (live or handed in).
    static quint64 framesToPaint(const VideoCapture& v) { return VideoCapture::Probe::framesToPaint(v); }
    // The latest frame (null before the first one).
    static QImage currentFrame(const VideoCapture& v) { return VideoCapture::Probe::currentFrame(v); }
    // Writes the latest frame as a 24-bit BMP to FrameFileName, as a capture
    // does; false when there is no frame or the file cannot be written.
    static bool saveFrame(const VideoCapture& v) { return VideoCapture::Probe::saveFrame(v); }
    // Waits (handling events) until a frame newer than the given count has
    // arrived; false on timeout, and at once when no frame can come (not
    // connected, or the source has stopped).
    static bool waitForFrame(VideoCapture& v, quint64 after, int timeoutMs)
    {
        return VideoCapture::Probe::waitForFrame(v, after, timeoutMs);
    }
    // Waits frame by frame until done() holds: false when it still does not
    // after the given number of further frames, or when a frame does not come
    // within gapMs (or cannot come at all). A bound in frames holds on a busy
    // machine as well as on an idle one.
    static bool waitUntil(VideoCapture& v, const std::function<bool()>& done, int frames, int gapMs)
    {
        return VideoCapture::Probe::waitUntil(v, done, frames, gapMs);
    }
    // Makes the picture the latest frame, as if the source had delivered it.
    static void presentFrame(VideoCapture& v, const QImage& picture) { VideoCapture::Probe::presentFrame(v, picture); }
    // The same, and the picture stays the latest frame while the live video
    // goes on running (a camera-like frame under the load of the live
    // picture); a null picture, Connect or Disconnect let go of it.
    static void holdFrame(VideoCapture& v, const QImage& picture) { VideoCapture::Probe::holdFrame(v, picture); }
    // Makes the running source fail as a camera unplugged mid-stream does: the
    // live picture stops, frames can no longer be captured nor recordings
    // started, a running recording is completed.
    static void failSource(VideoCapture& v) { VideoCapture::Probe::failSource(v); }
    // Makes the file of the next recordings take each piece of data this many
    // milliseconds late, as a slow disk does: frames are still on their way to
    // the file when the recording is stopped.
    static void slowRecording(VideoCapture& v, int msPerBuffer) { VideoCapture::Probe::slowRecording(v, msPerBuffer); }
    // Runs f as StopRecording begins, before it asks the recording to end (a
    // disk that fills just as the user stops); an empty function removes it.
    static void whenStopping(VideoCapture& v, std::function<void()> f)
    {
        VideoCapture::Probe::whenStopping(v, std::move(f));
    }
    // The running recording's file has refused data (the streaming thread has
    // seen the error; the GUI thread may not have heard of it yet).
    static bool recordingHasFailed(const VideoCapture& v) { return VideoCapture::Probe::recordingHasFailed(v); }
    // The test source's pattern (GStreamer's videotestsrc numbering), from the
    // next Connect.
    static void setTestPattern(VideoCapture& v, int pattern) { VideoCapture::Probe::setTestPattern(v, pattern); }
};
