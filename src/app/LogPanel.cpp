#include "app/LogPanel.h"

#include "core/Clock.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>

QString NextLogCaption(const QString& current, const QString& text)
{
    if (text.startsWith(QStringLiteral("!!")) || text.contains(QStringLiteral("응답")))
        return kLogCaptionWarn;
    if (current.contains(QStringLiteral("⚠")))
        return current;
    return kLogCaptionNew;
}

TLogPanel::TLogPanel(QTabWidget* tabs, int logPage, QPlainTextEdit* memo, const TClock& clock)
    : FTabs(tabs), FPage(logPage), FMemo(memo), FClock(clock)
{
    FMemo->setReadOnly(true);
    FMemo->setMaximumBlockCount(kLogMaxLines);  // drops the oldest line past the cap
    FMemo->setFrameShape(QFrame::NoFrame);
    FMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    FMemo->setStyleSheet(QStringLiteral("QPlainTextEdit { background: rgb(250,250,250); }"));
}

void TLogPanel::Log(const QString& text)
{
    if (FTabs && FTabs->currentIndex() != FPage)
        FTabs->setTabText(FPage, NextLogCaption(FTabs->tabText(FPage), text));
    FMemo->appendPlainText(FClock.Now().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") + text);
    FMemo->moveCursor(QTextCursor::End);
    FMemo->verticalScrollBar()->setValue(FMemo->verticalScrollBar()->maximum());
}

void TLogPanel::OnTabChanged(int index)
{
    if (FTabs && index == FPage)
        FTabs->setTabText(FPage, kLogCaption);
}
