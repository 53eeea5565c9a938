#pragma once
// Paces a view's paints to one a frame. The first change after a quiet
// frame asks for its paint at once; changes within a frame of the last
// paint wait for that frame to end, however many there are. A busy feed
// changes a view hundreds of times a second; the screen shows sixty.
#include <QElapsedTimer>
#include <QObject>
#include <functional>

class QTimer;

class TFramePacer {
public:
    static constexpr int KFrameMs = 16;

    // `update` asks for the paint (QWidget::update of the view).
    TFramePacer(QObject* owner, std::function<void()> update);
    // The view changed.
    void Ask();
    // The view painted (from its paint event): what it shows is current.
    void Painted();
    bool Asked() const { return FAsked; }

private:
    QTimer* FTimer;
    QElapsedTimer FLast;   // since the last paint
    bool FAsked = false;
    std::function<void()> FUpdate;
};
