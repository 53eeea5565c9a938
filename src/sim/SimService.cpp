#include "sim/SimService.h"
#include "sim/SimBoard.h"
#include "sim/SimExchange.h"
#include "sim/SimLists.h"
#include "sim/SimNews.h"
#include "sim/SimSignals.h"

#include <QRegularExpression>
#include <QUrlQuery>

#include <httplib.h>
#include <sys/socket.h>

// ---- content ----------------------------------------------------------------

TSimService::TSimService(const TSimExchange& exchange)
    : TSimService(exchange.News(), exchange.NewsLog(), exchange.Signals())
{
    // The lists only read the universe and the seed.
    FLists = std::make_shared<const TSimLists>(TSimListsSetup::Of(const_cast<TSimExchange&>(exchange).Engine()));
}

TSimService::TSimService(std::shared_ptr<const TSimNews> news, std::shared_ptr<const TSimNewsLog> log,
                         std::shared_ptr<const TSimSignals> lumen)
    : FNews(std::move(news)), FLog(std::move(log)), FSignals(std::move(lumen))
{
}

bool TSimService::NewsArchive(const QDate& day, QByteArray* body) const
{
    QDate today;
    const QVector<TSimNewsItem> sent = FLog ? FLog->Snapshot(&today) : QVector<TSimNewsItem>();
    if (!day.isValid() || !today.isValid() || day > today || !FNews)
        return false;
    QString text;
    auto add = [&text](const TSimNewsItem& it) {
        text += TSimNews::ArchiveLine(it);
        text += QStringLiteral("\r\n");
    };
    if (day == today) {
        for (const TSimNewsItem& it : sent)
            add(it);
    } else {
        for (const TSimNewsItem& it : *FNews->Day(day))
            add(it);
    }
    *body = text.toUtf8();
    return true;
}

TSimServiceReply TSimService::Get(const QString& target) const
{
    const int q = target.indexOf(QLatin1Char('?'));
    const QString path = q < 0 ? target : target.left(q);
    const QUrlQuery query(q < 0 ? QString() : target.mid(q + 1));
    TSimServiceReply r;
    if (path == QLatin1String("/lumen/news")) {
        const QString d = query.queryItemValue(QStringLiteral("d"));
        static const QRegularExpression kDay(QStringLiteral("^\\d{8}$"));
        const QDate day = kDay.match(d).hasMatch() ? QDate::fromString(d, QStringLiteral("yyyyMMdd")) : QDate();
        if (!day.isValid()) {
            r.Status = 400;
            r.Body = QStringLiteral("날짜는 d=yyyymmdd 로 주세요").toUtf8();
            return r;
        }
        if (!NewsArchive(day, &r.Body)) {
            r.Status = 404;
            r.Body = QStringLiteral("아직 없는 날의 뉴스입니다: %1").arg(d).toUtf8();
        }
        return r;
    }
    // The advertisement line of the article window.
    if (path == QLatin1String("/lumen/pub") && query.queryItemValue(QStringLiteral("n")) == QLatin1String("newsad")) {
        r.ContentType = "application/json; charset=utf-8";
        r.Body = QStringLiteral(R"({"line1":"모의 거래소에서 연습 중","line2":"루멘와 함께","url":"https://www.kestrelhts.kr"})").toUtf8();
        return r;
    }
    // The ETN holdings of the evening before the exchange's day.
    if (path == QLatin1String("/lumen/etn")) {
        QDate today;
        if (FLog)
            FLog->Snapshot(&today);
        r.ContentType = "application/json; charset=utf-8";
        r.Body = SimEtnDocument(today.isValid() ? today : QDate::currentDate());
        return r;
    }
    // The market lists of the exchange's day.
    const bool shortBan = path == QLatin1String("/lumen/shortban");
    const bool buyback = path == QLatin1String("/lumen/pub") && query.queryItemValue(QStringLiteral("n")) == QLatin1String("buyback");
    if (FLists && (shortBan || buyback)) {
        const QDate logDay = FLog ? FLog->DayOf() : QDate();
        const QDate day = logDay.isValid() ? logDay : QDate::currentDate();
        r.ContentType = "application/json; charset=utf-8";
        r.Body = shortBan ? FLists->ShortBan(day) : FLists->Buyback(day);
        return r;
    }
    // The signal service.
    const bool latest = path == QLatin1String("/lumen/latest");
    const bool series = path == QLatin1String("/lumen/series");
    const bool top = path == QLatin1String("/lumen/pub") && query.queryItemValue(QStringLiteral("n")) == QLatin1String("lmtop");
    if (FSignals && (latest || series || top)) {
        QString isin;
        if (series) {
            isin = query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded).trimmed().toUpper();
            if (!IsValidIsin(isin)) {
                r.Status = 400;
                r.Body = QStringLiteral("종목은 code=ISIN(12자리, 예: KR7005930003) 으로 주세요").toUtf8();
                return r;
            }
        }
        const std::shared_ptr<const TSimSignalsSnapshot> snap = FSignals->Snapshot();
        if (!snap->Ready()) {
            r.Status = 503;
            r.Body = QStringLiteral("루멘 자료를 준비하는 중입니다. 잠시 뒤에 다시 받으세요").toUtf8();
            return r;
        }
        r.ContentType = "application/json; charset=utf-8";
        r.Body = latest ? snap->Latest : series ? snap->Series(isin) : snap->LmTop;
        return r;
    }
    r.Status = 404;
    r.Body = "not found";
    return r;
}

// ---- server -------------------------------------------------------------------

struct TSimServiceServer::TImpl {
    httplib::Server Server;
};

TSimServiceServer::TSimServiceServer(const TSimExchange& exchange)
    : TSimServiceServer(std::make_shared<const TSimService>(exchange))
{
}

TSimServiceServer::TSimServiceServer(std::shared_ptr<const TSimService> service) : FService(std::move(service)) {}

TSimServiceServer::~TSimServiceServer()
{
    Stop();
}

QString TSimServiceServer::Base() const
{
    return FPort > 0 ? QStringLiteral("http://127.0.0.1:%1").arg(FPort) : QString();
}

QString TSimServiceServer::Start(int port, QString* error)
{
    if (FImpl)
        return Base();
    auto impl = std::make_unique<TImpl>();
    // Two serving threads: the program asks a few things at a time.
    impl->Server.new_task_queue = [] { return new httplib::ThreadPool(2); };
    // Reuse an address left in TIME_WAIT, but never share a port another
    // server holds (the library's default would, with SO_REUSEPORT).
    impl->Server.set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
    });
    std::shared_ptr<const TSimService> service = FService;
    impl->Server.Get(".*", [service](const httplib::Request& req, httplib::Response& res) {
        std::string target = req.target;
        if (target.empty()) {
            target = req.path;
            char sep = '?';
            for (const auto& [k, v] : req.params) {
                target += sep + k + '=' + v;
                sep = '&';
            }
        }
        const TSimServiceReply r = service->Get(QString::fromStdString(target));
        res.status = r.Status;
        res.set_content(r.Body.toStdString(), r.ContentType.toStdString());
    });
    int bound = 0;
    if (port <= 0)
        bound = impl->Server.bind_to_any_port("127.0.0.1");
    else if (port <= 65535 && impl->Server.bind_to_port("127.0.0.1", port))
        bound = port;
    if (bound <= 0) {
        if (error)
            *error = port > 0 ? QStringLiteral("127.0.0.1:%1 포트를 열지 못했습니다").arg(port)
                              : QStringLiteral("127.0.0.1에 빈 포트를 열지 못했습니다");
        return {};
    }
    FPort = bound;
    FImpl = std::move(impl);
    httplib::Server* server = &FImpl->Server;
    FThread = std::thread([server] { server->listen_after_bind(); });
    // Until the serving thread has entered its loop, a stop would not reach
    // it and the thread would wait in accept for ever: return once it runs.
    for (int i = 0; i < 5000 && !server->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return Base();
}

void TSimServiceServer::Stop()
{
    if (!FImpl)
        return;
    FImpl->Server.stop();
    if (FThread.joinable())
        FThread.join();
    FImpl.reset();
    FPort = 0;
}
