#pragma once
// The running log: a read-only pane on the log page of the news/log tab set.
// While another page is shown, the log tab's caption says whether something
// new (●) or something wrong (⚠) was written.
#include <QString>

class QPlainTextEdit;
class QTabWidget;
class TClock;

inline const QString kLogCaption = QStringLiteral("  로그  ");
inline const QString kLogCaptionNew = QStringLiteral("  로그 ●  ");
inline const QString kLogCaptionWarn = QStringLiteral("  로그 ⚠  ");
inline constexpr int kLogMaxLines = 500;

// The caption after writing `text` while the log page is hidden.
QString NextLogCaption(const QString& current, const QString& text);

class TLogPanel {
public:
    TLogPanel(QTabWidget* tabs, int logPage, QPlainTextEdit* memo, const TClock& clock);
    void Log(const QString& text);
    // The tab set's page changed: showing the log page clears the mark.
    void OnTabChanged(int index);
    QPlainTextEdit* Memo() const { return FMemo; }
private:
    QTabWidget* FTabs;
    int FPage;
    QPlainTextEdit* FMemo;
    const TClock& FClock;
};
