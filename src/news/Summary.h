#pragma once
// The disclosure summary card: for the kinds of disclosure a trader reacts
// to (provisional earnings, supply contracts, and the capital changes of
// CapitalSummary.h), a short card above the body with what was decided, the
// key numbers in readable units and a one-line judgement. Pure text work on
// the body as received; every pattern runs bounded (BoundedRx.h).
#include <QString>
#include <QStringList>

class TRxText;

// Trims, drops every "," and "%", and reads the rest as a decimal number
// ("." as the point, an optional sign). False for an empty rest, "-", and
// anything else that is not such a number.
bool TryNum(const QString& s, double& v);

// Group 1 of the first match of `p` in `text`, trimmed; empty when there is
// no match or no group.
QString RxText(const QString& text, const QString& p);
QString RxText(const TRxText& text, const QString& p);
// TryNum of RxText, or NaN.
double RxNum(const QString& text, const QString& p);
double RxNum(const TRxText& text, const QString& p);

// For each match of `anchor` in order: when the 400 characters from it hold
// a match of `need1` and (when not empty) of `need2`, the text from that
// match on with `found` true. Otherwise the whole text, `found` false.
QString FindSection(const QString& text, const QString& anchor, const QString& need1, const QString& need2,
                    bool& found);
TRxText FindSection(const TRxText& text, const QString& anchor, const QString& need1, const QString& need2,
                    bool& found);

// Amounts in units of 100 million won: "1,234억", "1.23조" (the 조 form from
// 10,000억 after rounding).
QString FmtEok(double x);
// FmtEok, and "0.5억" below 1.
QString FmtAmt(double x);
// "123.5만주" from 10,000 shares, else "9,999주".
QString FmtShares(double x);
// A change cell: "+12.3%", "흑자전환", "적자", or "—".
QString FmtPct(const QString& s);
// The coloured judgement line; level -1 악재 성격, 0 판단 보류, +1 호재 성격.
QString VerdictLine(int level, const QString& text);
// The judgement line of the earnings and contract cards.
QString PlainJudgement(const QString& text);
// The footnote of the capital-change cards.
QString RuleFootnote();
// Added after the headline of a capital-change card for a correction.
QString CorrectionTag();

// A correction ("[기재정정]") opens with a table of the changed items,
// "정정전" and "정정후" side by side. Each row of it whose tail is two
// matching halves (same words, numbers or dates in the same places) keeps
// only the second half, so the first match of a rule reads the corrected
// value. The table ends at the first row that is not such a pair. Text
// without such a table comes back unchanged.
QString CorrectedText(const QString& plain);

// The card HTML for a headline caption (hour:minute and the first 30
// characters of the headline) and a body (trimmed, CR LF lines, HTML
// fragments), or empty when no rule applies. When a pattern ran into its
// work limit there is no card and `problem` gets the reason.
QString SummaryCard(const QString& title, const QString& body, QString* problem = nullptr);

// The two business-result summarisers (lines of the card, none when the
// body does not fit). `plain` is HtmlToPlain of the body.
QStringList EarningsSummary(const QString& title, const QString& plain);
QStringList ContractSummary(const QString& plain);
