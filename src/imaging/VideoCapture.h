#pragma once
#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>

// The video-capture control: live video from a V4L2 camera (or the test
// pattern when it is chosen: tests and benchmarks) painted into this widget,
// single frames saved as 24-bit BMP files and AVI recording, on GStreamer.
//
// Pipeline: source -> caps -> [jpegdec] -> videoconvert -> tee. The latest
// frame is referenced in front of the tee at full size and converted to a
// BMP's layout only when it is captured. The view branch (leaky queue ->
// videoconvertscale to the shown size, 32-bit -> appsink) scales each frame
// once, and only while the control is shown and the previous frame has been
// painted; the picture keeps its proportions (bars at the sides or at the top
// and bottom). A recording branch (queue -> encoder -> avimux -> fdsink) is
// added to the tee while recording. The folder of the chosen name is opened
// once; the branch writes through its descriptor to a new hidden file there
// (".pelrand-" and six letters or digits, ".avi"), which takes the chosen name
// by a rename in that folder once the recording is complete (end-of-stream
// with the AVI index written, synced), so an earlier recording of that name is
// never lost to a failed or interrupted one. A program killed while recording
// leaves the hidden file, which plays up to where it was cut.
// A recording that fails (disk full) leaves the live picture running; a
// source that stops (camera unplugged) ends the live picture until the next
// Connect, and a recording running then is still completed.
//
// Everything is called on the GUI thread; frames arrive on GStreamer's
// streaming threads and are handed over under a lock, and what the GUI thread
// must learn of (a frame to paint, the source lost, a recording's end at the
// file) is posted to it as a queued call. Connect and StopRecording wait for
// the stream (a camera starting, the end of a recording reaching the file)
// with EventWait, woken by those calls, so the window keeps painting; events
// other than user input are handled meanwhile. A Disconnect asked for by such
// an event is done when the wait is over.
class Bitmap24;

class VideoCapture : public QWidget {
    Q_OBJECT
public:
    explicit VideoCapture(QWidget* parent = nullptr);
    ~VideoCapture() override;

    // The file the next StartRecording writes.
    void setAviFileName(const QString& path);
    QString AviFileName() const;
    // The BMP file a captured frame is written to (grabFrame, writeFrame).
    void setFrameFileName(const QString& path);
    QString FrameFileName() const;

    // Connects to the configured source and starts the live picture; false
    // (and nothing running) when the source cannot be opened.
    bool Connect();
    // Starts recording to AviFileName; true when the recording runs (false
    // when not connected, the source has stopped, or the file cannot be made:
    // lastError() says why, naming the folder and the reason).
    bool StartRecording();
    // Ends the recording and completes the file. True when there was none, or
    // when the recording is complete under the chosen name; false when it
    // failed (the earlier file of that name stays), its end never reached
    // the file (it keeps its temporary name) or its temporary name was taken
    // from it while it ran; lastError() says which.
    bool StopRecording();
    // After a recording that was not completed (StopRecording false, or the
    // recording failed): a file of the chosen name was there before it and is
    // kept as it was.
    bool earlierRecordingKept() const;
    // Stops the live picture and releases the device (ending a recording first).
    void Disconnect();
    // A capture in two halves, so that its file can be written away from the
    // GUI thread: the latest frame in a BMP's layout (null when there is no
    // frame file name, no frame yet, or the source has stopped), and the
    // writing of a frame as a 24-bit BMP, which may run on any thread; false
    // when the file cannot be written.
    std::shared_ptr<const Bitmap24> grabFrame() const;
    static bool writeFrame(const std::shared_ptr<const Bitmap24>& frame, const QString& path);

    void ShowSourceDialog();
    void ShowFormatDialog();
    void ShowCompressionDialog();

    bool isConnected() const;
    bool isRecording() const;
    // Connected, but the source has stopped delivering (camera unplugged).
    bool hasStopped() const;
    // Description of the last streaming error, if any.
    QString lastError() const;

    // The area a picture of the given size is shown in within a box: its
    // proportions kept, centred, bars at the sides or at the top and bottom.
    static QRect pictureArea(QSize picture, const QRect& box);

signals:
    void errorOccurred(const QString& text);
    // The source stopped delivering (camera unplugged, stream ended): no live
    // picture until the next Connect.
    void sourceLost(const QString& text);
    // The recording could not be written (disk full, file not writable); the
    // live picture goes on. Once for each recording, and only while it runs
    // and is not being stopped: a failure during StopRecording is told by its
    // result alone.
    void recordingFailed(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    friend struct VideoCaptureTesting;   // tests and benchmarks (VideoCaptureTesting.h)
    // What VideoCaptureTesting.h reaches: the implementation's state, for tests
    // and benchmarks only (private: the program itself has no way to it).
    struct Probe {
        static quint64 framesReceived(const VideoCapture& v);
        static quint64 framesToPaint(const VideoCapture& v);
        static QImage currentFrame(const VideoCapture& v);
        static bool saveFrame(const VideoCapture& v);
        static bool waitForFrame(VideoCapture& v, quint64 after, int timeoutMs);
        static bool waitUntil(VideoCapture& v, const std::function<bool()>& done, int frames, int gapMs);
        static void presentFrame(VideoCapture& v, const QImage& picture);
        static void holdFrame(VideoCapture& v, const QImage& picture);
        static void failSource(VideoCapture& v);
        static void slowRecording(VideoCapture& v, int msPerBuffer);
        static void whenStopping(VideoCapture& v, std::function<void()> f);
        static bool recordingHasFailed(const VideoCapture& v);
        static void setTestPattern(VideoCapture& v, int pattern);
    };
    void reconnectIfIdle();
    struct Private;
    std::unique_ptr<Private> d;
};
