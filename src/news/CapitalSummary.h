#pragma once
// The capital-change rules of the disclosure card: the withdrawal of a
// capital plan, rights issues, convertible / warrant / exchangeable bonds,
// capital reductions and bonus issues. They run when the earnings and
// contract rules found nothing (Summary.h) and share its helpers.
#include <QString>
#include <QStringList>

// Appends the card lines for `title` (the headline caption) and `plain`
// (the body as plain text, lines kept). Adds nothing when no rule fits or
// the body lacks the figures a rule needs.
void CapitalSummary(const QString& title, const QString& plain, QStringList& lines);

// The use-of-funds rows ("운영자금(원) 5,000,000,000"): `line` lists each
// positive one as purpose and amount; `total` and `running` (운영 and
// 채무상환 only) are in 100 million won.
void ParseFundUse(const QString& text, double& total, double& running, QString& line);

// The allottee table of a third-party issue: up to four names with their
// share counts (then " 등"); `insider` when one of them is the largest
// shareholder's side.
void ParseAllottees(const QString& text, bool& insider, QString& line);

// The recognised reasons of a withdrawal, joined by " · ".
QString WithdrawReasons(const QString& text);
