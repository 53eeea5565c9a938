#include "news/BoundedRx.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace {

pcre2_match_context* LimitContext()
{
    static pcre2_match_context* ctx = [] {
        pcre2_match_context* c = pcre2_match_context_create(nullptr);
        pcre2_set_match_limit(c, TBoundedRx::KMatchLimit);
        pcre2_set_depth_limit(c, TBoundedRx::KDepthLimit);
        pcre2_set_heap_limit(c, TBoundedRx::KHeapLimitKiB);
        return c;
    }();
    return ctx;
}

thread_local TRxWatch* tWatch = nullptr;

// Length of the UTF-8 sequence led by byte c (1 for a stray byte).
int SeqLen(unsigned char c)
{
    if (c < 0xC0)
        return 1;
    if (c < 0xE0)
        return 2;
    if (c < 0xF0)
        return 3;
    return 4;
}

} // namespace

// ---------------------------------------------------------------- TRxText

TRxText::TRxText(const QString& s)
    : FUtf8(s.toUtf8()) // Qt writes lone surrogates as U+FFFD: always valid UTF-8
{
}

TRxText::TRxText(QByteArray utf8Valid) : FUtf8(std::move(utf8Valid)) {}

QString TRxText::Mid(qsizetype from, qsizetype to) const
{
    const qsizetype n = FUtf8.size();
    from = qBound<qsizetype>(0, from, n);
    to = to < 0 ? n : qBound<qsizetype>(from, to, n);
    return QString::fromUtf8(FUtf8.constData() + from, to - from);
}

TRxText TRxText::MidText(qsizetype from, qsizetype to) const
{
    const qsizetype n = FUtf8.size();
    from = qBound<qsizetype>(0, from, n);
    to = to < 0 ? n : qBound<qsizetype>(from, to, n);
    return TRxText(FUtf8.mid(from, to - from));
}

qsizetype TRxText::Advance(qsizetype from, qsizetype chars) const
{
    const qsizetype n = FUtf8.size();
    qsizetype i = qBound<qsizetype>(0, from, n);
    const auto* p = reinterpret_cast<const unsigned char*>(FUtf8.constData());
    while (chars-- > 0 && i < n)
        i += SeqLen(p[i]);
    return qMin(i, n);
}

QString TRxMatch::Text(const TRxText& t, int n) const
{
    if (Status != TRxStatus::Match || 2 * n + 1 >= Group.size() || Group[2 * n] < 0)
        return QString();
    return t.Mid(Group[2 * n], Group[2 * n + 1]);
}

// ---------------------------------------------------------------- TBoundedRx

TBoundedRx::TBoundedRx(const QString& pattern, bool caseless) : FPattern(pattern)
{
    const QByteArray p = pattern.toUtf8();
    int err = 0;
    PCRE2_SIZE off = 0;
    const uint32_t opts = PCRE2_UTF | (caseless ? PCRE2_CASELESS : 0u);
    FCode = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(p.constData()), p.size(), opts, &err, &off, nullptr);
    if (!FCode) {
        PCRE2_UCHAR buf[256];
        pcre2_get_error_message(err, buf, sizeof buf);
        FError = QStringLiteral("%1 (위치 %2)").arg(QString::fromUtf8(reinterpret_cast<const char*>(buf))).arg(off);
    }
}

TBoundedRx::~TBoundedRx()
{
    pcre2_code_free(static_cast<pcre2_code*>(FCode));
}

const TBoundedRx& TBoundedRx::Of(const QString& pattern, bool caseless)
{
    static std::mutex mu;
    static std::map<std::pair<QString, bool>, std::unique_ptr<TBoundedRx>> cache;
    std::lock_guard<std::mutex> lock(mu);
    auto& slot = cache[{pattern, caseless}];
    if (!slot)
        slot.reset(new TBoundedRx(pattern, caseless));
    return *slot;
}

TRxMatch TBoundedRx::Find(const TRxText& text, qsizetype from, bool anchored) const
{
    TRxMatch m;
    if (!FCode) {
        m.Status = TRxStatus::BadPattern;
        TRxWatch::Report(m.Status, FPattern);
        return m;
    }
    const QByteArray& s = text.Utf8();
    if (from < 0 || from > s.size())
        return m;
    auto* code = static_cast<pcre2_code*>(FCode);
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
    if (!md) {
        m.Status = TRxStatus::LimitHit;
        TRxWatch::Report(m.Status, FPattern);
        return m;
    }
    // The subject is valid UTF-8 (TRxText) and `from` lies on a character
    // start (callers step by whole characters), so the check is skipped:
    // it would read the whole text again on every call.
    const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(s.constData()), s.size(), from,
                               PCRE2_NO_UTF_CHECK | (anchored ? PCRE2_ANCHORED : 0u), md, LimitContext());
    if (rc >= 0) {
        m.Status = TRxStatus::Match;
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
        const uint32_t pairs = pcre2_get_ovector_count(md);
        m.Start = qsizetype(ov[0]);
        m.End = qsizetype(ov[1]);
        m.Group.resize(2 * qsizetype(pairs));
        for (uint32_t i = 0; i < pairs; ++i) {
            const bool set = i < uint32_t(rc == 0 ? pairs : rc) && ov[2 * i] != PCRE2_UNSET;
            m.Group[2 * i] = set ? qsizetype(ov[2 * i]) : -1;
            m.Group[2 * i + 1] = set ? qsizetype(ov[2 * i + 1]) : -1;
        }
    } else if (rc == PCRE2_ERROR_NOMATCH) {
        m.Status = TRxStatus::NoMatch;
    } else {
        // Limits, and anything else the matcher refuses: not a "no".
        m.Status = TRxStatus::LimitHit;
        TRxWatch::Report(m.Status, FPattern);
    }
    pcre2_match_data_free(md);
    return m;
}

QString TBoundedRx::ReplaceAll(const TRxText& text, const QString& with, TRxStatus* status) const
{
    const QByteArray& s = text.Utf8();
    const QByteArray rep = with.toUtf8();
    QByteArray out;
    qsizetype pos = 0, copied = 0;
    bool any = false;
    TRxStatus st = TRxStatus::NoMatch;
    while (pos <= s.size()) {
        const TRxMatch m = Find(text, pos);
        if (!m.Ok()) {
            if (m.Status != TRxStatus::NoMatch)
                st = m.Status;
            break;
        }
        if (!any)
            out.reserve(s.size());
        any = true;
        out.append(s.constData() + copied, m.Start - copied);
        out.append(rep);
        copied = m.End;
        if (m.End > m.Start) {
            pos = m.End;
        } else {
            // An empty match: step over one character.
            if (m.End >= s.size())
                break;
            pos = text.Advance(m.End, 1);
        }
    }
    if (status)
        *status = st == TRxStatus::NoMatch && any ? TRxStatus::Match : st;
    if (st == TRxStatus::LimitHit || st == TRxStatus::BadPattern)
        return text.Str();
    if (!any)
        return text.Str();
    out.append(s.constData() + copied, s.size() - copied);
    return QString::fromUtf8(out);
}

// ---------------------------------------------------------------- TRxWatch

TRxWatch::TRxWatch() : FOuter(tWatch)
{
    tWatch = this;
}

TRxWatch::~TRxWatch()
{
    tWatch = FOuter;
}

QString TRxWatch::Reason() const
{
    if (!FHits)
        return QString();
    QString p = FFirst;
    if (p.size() > 40)
        p = p.left(40) + QStringLiteral("…");
    const QString what = FFirstStatus == TRxStatus::BadPattern ? QStringLiteral("패턴 오류")
                                                               : QStringLiteral("패턴 검사 한도 초과");
    return QStringLiteral("%1 (%2)").arg(what, p);
}

void TRxWatch::Report(TRxStatus status, const QString& pattern)
{
    TRxWatch* w = tWatch;
    if (!w)
        return;
    if (!w->FHits++) {
        w->FFirst = pattern;
        w->FFirstStatus = status;
    }
}
