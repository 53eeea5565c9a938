// The service host's client against a server on the loopback address that
// answers with the fuzz input: status line, headers (redirects, content
// encodings, chunking, lengths) and body, byte for byte.
//
// Input: the first line picks the request ("<kind digit><path>"; kind as
// TServiceKind, path appended to the base); the rest is the raw answer. A
// line "@@" separates the answers to successive requests (redirects
// followed); the last one answers every further request.
//
// Checks:
//  - a request is made at most four times (three redirects), every request
//    carries the kind's headers, and none leaves for another host;
//  - Ok only with status 200 and a body within the kind's limit; a failure
//    has no body and its Text() is "#ERR " + status or reason;
//  - Text() of a success is the body as UTF-8 without a byte-order mark.
#include "FuzzUtil.h"
#include "core/ServiceHost.h"

#include <QUrl>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

// One connection at a time: read the request head, write the answer,
// close. The answers and what the requests carried are shared with the
// fuzzing thread under a mutex.
class TLoopServer {
public:
    TLoopServer()
    {
        FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (FListen < 0 || ::bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(FListen, 8) != 0
            || ::getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            std::fprintf(stderr, "fuzz: no loopback listener: %s\n", std::strerror(errno));
            std::abort();
        }
        FPort = ntohs(a.sin_port);
        FThread = std::thread([this] { Run(); });
    }
    ~TLoopServer()
    {
        FStop = true;
        FThread.join();
        ::close(FListen);
    }
    int Port() const { return FPort; }

    void Reset(QList<QByteArray> answers)
    {
        std::lock_guard g(FM);
        FAnswers = std::move(answers);
        FHeads.clear();
    }
    QList<QByteArray> Heads()
    {
        std::lock_guard g(FM);
        return FHeads;
    }

private:
    void Run()
    {
        while (!FStop) {
            pollfd p{FListen, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int c = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0)
                continue;
            Serve(c);
            ::close(c);
        }
    }

    void Serve(int c)
    {
        QByteArray head;
        char buf[4096];
        while (!head.contains("\r\n\r\n") && head.size() < 65536) {
            pollfd p{c, POLLIN, 0};
            if (::poll(&p, 1, 500) <= 0)
                return;
            const ssize_t n = ::recv(c, buf, sizeof buf, 0);
            if (n <= 0)
                return;
            head.append(buf, n);
        }
        QByteArray answer;
        {
            std::lock_guard g(FM);
            answer = FAnswers.value(qMin(FHeads.size(), FAnswers.size() - 1));
            FHeads.append(head);
        }
        for (qsizetype off = 0; off < answer.size();) {
            const ssize_t n = ::send(c, answer.constData() + off, size_t(answer.size() - off), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            off += n;
        }
        ::shutdown(c, SHUT_WR);
        // Until the client has read it all and closed.
        for (;;) {
            pollfd p{c, POLLIN, 0};
            if (::poll(&p, 1, 500) <= 0 || ::recv(c, buf, sizeof buf, 0) <= 0)
                break;
        }
    }

    int FListen = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::thread FThread;
    std::mutex FM;
    QList<QByteArray> FAnswers;
    QList<QByteArray> FHeads;
};

TLoopServer* GServer = nullptr;

// Value of a request header, lower-case name; empty when absent.
QByteArray HeaderOf(const QByteArray& head, const QByteArray& name)
{
    for (const QByteArray& line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

constexpr TServiceKind kKinds[] = {TServiceKind::NewsToday, TServiceKind::NewsDay, TServiceKind::Latest,
                                   TServiceKind::Series,    TServiceKind::LmTop,   TServiceKind::Etn,
                                   TServiceKind::ShortBan,  TServiceKind::Buyback, TServiceKind::NewsAd,
                                   TServiceKind::Manifest,  TServiceKind::UpdateFile};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    GServer = new TLoopServer;
    std::atexit([] { delete GServer; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = InputBytes(data, size);
    const qsizetype eol = input.indexOf('\n');
    const QByteArray first = eol < 0 ? input : input.left(eol);
    const QByteArray rest = eol < 0 ? QByteArray() : input.mid(eol + 1);

    const int k = first.isEmpty() ? 0 : (static_cast<unsigned char>(first[0]) % std::size(kKinds));
    const TServiceKind kind = kKinds[k];
    const QByteArray key = "fuzz-key-1";
    TFetchOptions opt = ServiceOptions(kind, key);
    // Everything comes from this machine: short waits keep each input fast.
    opt.ConnectMs = 500;
    opt.ResponseMs = 300;
    // Small limits so that bodies over them are reachable.
    opt.MaxBytes = kind == TServiceKind::UpdateFile ? 2048 : 16384;

    TServiceHost host;
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(GServer->Port());
    host.SetBase(QStringLiteral("  ") + base + QStringLiteral("//"));
    FUZZ_CHECK(host.Base() == base, QStringLiteral("SetBase kept ") + Shown(host.Base()));
    const QString path = ServicePath(kind) + QString::fromUtf8(first.mid(1));
    const QString url = host.UrlFor(path);
    FUZZ_CHECK(url == base + path, QStringLiteral("UrlFor(%1) = %2").arg(Shown(path), Shown(url)));

    GServer->Reset(SplitParts(rest, "\n@@\n"));
    const TFetchResult r = host.GetSync(path, opt);
    const QList<QByteArray> heads = GServer->Heads();

    FUZZ_CHECK(heads.size() <= 4, QStringLiteral("%1 requests for one fetch").arg(heads.size()));
    for (const QByteArray& h : heads) {
        const QUrl hostOnly(QStringLiteral("http://") + QString::fromLatin1(HeaderOf(h, "host")));
        FUZZ_CHECK(hostOnly.host() == QLatin1String("127.0.0.1") && hostOnly.port() == GServer->Port(),
                   QStringLiteral("a request for another host: ") + Shown(h));
        const bool keyed = kind == TServiceKind::Manifest || kind == TServiceKind::UpdateFile;
        FUZZ_CHECK((HeaderOf(h, "x-hts-key") == key) == keyed, QStringLiteral("update key header: ") + Shown(h));
    }

    const QString text = r.Text();
    if (r.Ok) {
        FUZZ_CHECK(r.Status == 200 && r.Error.isEmpty(), QStringLiteral("Ok with status %1, error %2").arg(r.Status).arg(r.Error));
        FUZZ_CHECK(r.Body.size() <= opt.MaxBytes, QStringLiteral("body of %1 bytes over %2").arg(r.Body.size()).arg(opt.MaxBytes));
        QString want = QString::fromUtf8(r.Body);
        if (want.startsWith(QChar(0xFEFF)))
            want.remove(0, 1);
        FUZZ_CHECK(text == want, QStringLiteral("Text() is not the body"));
        FUZZ_CHECK(!heads.isEmpty(), QStringLiteral("Ok without a request"));
    } else {
        FUZZ_CHECK(r.Body.isEmpty(), QStringLiteral("a failure with a body"));
        FUZZ_CHECK(!r.Error.isEmpty(), QStringLiteral("a failure without a reason (status %1)").arg(r.Status));
        FUZZ_CHECK(text == (r.Status != 0 ? QStringLiteral("#ERR ") + QString::number(r.Status) : QStringLiteral("#ERR ") + r.Error),
                   QStringLiteral("failure text ") + Shown(text));
    }
    return 0;
}
