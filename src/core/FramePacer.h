#pragma once
// One frame clock for every view a busy feed changes. The work of a frame —
// texts laid out, views asked to repaint — runs together at the frame's
// tick, so the window composes and flushes once a frame rather than once per
// view at its own moment. The first request after a quiet frame ticks at the
// next turn of the event loop (after the records read in this turn); requests
// within a frame of the last tick wait for that frame to end, however many
// there are. A busy feed changes a view hundreds of times a second; the
// screen shows sixty, fewer when frames cost more than their share.
#include <QElapsedTimer>
#include <QObject>
#include <functional>

// A piece of work run at most once a frame, in the next frame after Request.
class TFrameTask {
public:
    static constexpr int KFrameMs = 16;
    // A frame's work (its tasks and the window's composing) is held to this
    // share of the thread: when frames grow costly — a burst of records
    // changing every view — they come further apart, down to one every
    // KLongestFrameMs; at ordinary rates a frame is KFrameMs.
    static constexpr double KWorkShare = 0.05;
    static constexpr int KLongestFrameMs = 50;
    // 0 or less: a frame every KFrameMs whatever it costs.
    static void SetWorkShare(double share);

    explicit TFrameTask(std::function<void()> fn);
    ~TFrameTask();
    TFrameTask(const TFrameTask&) = delete;
    TFrameTask& operator=(const TFrameTask&) = delete;

    void Request();
    // No longer wanted in the next frame (its view is current).
    void Cancel();
    bool Pending() const { return FPending; }
    // Runs it now when requested (a test, or a view about to be read).
    void Flush();

private:
    friend class TFrameClock;
    std::function<void()> FFn;
    bool FPending = false;
};

// Paces a view's paints to one a frame: Ask when the view changed, Painted
// from its paint event (what it shows is current).
class TFramePacer {
public:
    static constexpr int KFrameMs = TFrameTask::KFrameMs;

    // `update` asks for the paint (QWidget::update of the view).
    TFramePacer(QObject* owner, std::function<void()> update);
    void Ask() { FTask.Request(); }
    void Painted() { FTask.Cancel(); }
    bool Asked() const { return FTask.Pending(); }

private:
    TFrameTask FTask;
};
