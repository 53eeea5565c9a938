#pragma once
// The strip above the ladder summarising the trader's own unfilled orders of
// the current stock per side: count of prices, total quantity and how many of
// those prices lie above or below the rows the ladder shows. A left click on
// a side centres the ladder on that side's order nearest the current price;
// a right click centres it on the current price.
#include <QPointer>
#include <QWidget>
#include <functional>

class TLadderView;

// One side's summary text and look.
struct TMyOrdSummary {
    QString Text;
    bool Any = false;
    int Up = 0, Down = 0;
};

class TMyOrdBar : public QWidget {
public:
    explicit TMyOrdBar(QWidget* parent = nullptr);

    // The ladder summarised; the window also passes this bar to the
    // ladder's SetSumBar.
    void SetLadder(TLadderView* ladder);
    TLadderView* Ladder() const { return FLadder; }
    // 26 design units high through the scale function (identity by default).
    void SetScale(std::function<int(int)> scale);

    // Side "1" sell, "2" buy.
    TMyOrdSummary Summary(const QString& side) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QPointer<TLadderView> FLadder;
    std::function<int(int)> FScale;
};
