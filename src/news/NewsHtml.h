#pragma once
// The news window's page: a body as the broker delivers it (text with
// fragments of HTML, CR LF lines) cleaned down to a few harmless tags and
// laid out with a fixed style sheet; the plain-text form the disclosure
// summaries read; and the small text helpers around them. No widgets and no
// files here: the window writes the page and shows it.
#include <QString>

// "&" -> "&amp;", "<" -> "&lt;", ">" -> "&gt;".
QString HtmlEscape(const QString& text);

// The value of attribute `name` (lower case) in the text of a tag: the first
// `name=` at the start of the tag or after a tab, LF, CR or space; quoted
// values run to the same quote, bare ones to white space or ">". Taken as
// written, with each double quote as "&quot;". Empty when missing.
QString HtmlAttr(const QString& tag, const QString& name);

// Number of "?" and U+FFFD characters (marks of a broken conversion).
int OddCount(const QString& text);
// The first `n` odd characters, each with the 17 characters around it, in
// double quotes, joined by "  |  " (for the log).
QString OddSamples(const QString& text, int n);

// Of the two forms of a body (pieces of the records joined, the block read
// whole), the one with fewer odd characters; the joined one on a tie or when
// the whole read is blank.
QString PickNewsBody(const QString& joined, const QString& whole);
// Trimmed, line breaks as CR LF; "(본문 없음)" when nothing is left.
QString NormaliseNewsBody(const QString& text);

// Reduces HTML to text plus <br>, <b>, <a href> and <img src>: script and
// style elements go with their content, other tags are dropped, runs of
// three or more breaks become two, and breaks at either end go. Addresses
// of links and images are kept only when they are http:// or https://.
// A "<" without a closing ">" is kept as text ("&lt;"). When a pattern ran
// into its work limit the breaks are left as they are and `problem` (when
// given) gets the reason.
QString CleanNewsHtml(const QString& html, QString* problem = nullptr);

// Plain text for the disclosure rules: script and style elements dropped,
// row, paragraph and break tags as line breaks, cells and other tags as a
// space, the four common entities decoded, runs of spaces, tabs and CR as
// one space. `problem` as above (the text is then only partly converted
// and must not be summarised).
QString HtmlToPlain(const QString& html, QString* problem = nullptr);

// The style sheet of the news page for a screen of `dpi` dots per inch
// (96 = 100 %): the text between <style> and </style>.
QString NewsStyleSheet(int dpi);

// The full page for a body text (CR LF or LF lines): short lines keep their
// breaks, long ones (70 bytes or more in the Korean code page) are joined to
// the next as hard-wrapped paragraphs, blank lines become a paragraph gap,
// then CleanNewsHtml and the page frame with the style sheet.
QString NewsPage(const QString& body, int dpi = 96, QString* problem = nullptr);

// The page with the summary card placed right after the first "<body>".
// Unchanged when the card is empty or the page has no "<body>".
QString InsertCard(const QString& page, const QString& card);

// A one-line grey note page ("본문 불러오는 중..." and the like).
QString NewsNotePage(const QString& text, int dpi = 96);
