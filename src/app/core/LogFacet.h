#pragma once
// The log pane on its page of the news/log tab set, and the clock at the
// right of the top strip with the server-time note (t0167 every ten minutes).
#include "app/Facet.h"

#include <QTimer>
#include <memory>

class QLabel;
class QPlainTextEdit;
class QWidget;
class TLogPanel;
class TTabSet;

class TLogFacet : public TFacet {
public:
    explicit TLogFacet(TAppContext& ctx, QObject* parent = nullptr);
    ~TLogFacet() override;

    // The log page, added to `tabs`; lines are written from here on.
    void BuildLogPage(TTabSet* tabs);
    // The clock and its note in the right end of the top strip.
    void BuildClock(QWidget* top);

    void Log(const QString& text);
    void UpdateClock();
    void ReqTime();
    void OnTimeData();

    QPlainTextEdit* Memo = nullptr;
    QWidget* tsLog = nullptr;
    QWidget* pnlClock = nullptr;
    QLabel* lbClock = nullptr;
    QLabel* lbClockNote = nullptr;
    QTimer FClockTimer, FSyncTimer;

private:
    std::unique_ptr<TLogPanel> FLog;
    quint64 FTimeSeq = 0;  // time requests sent
    QString FLastClockText;
};
