// update-host: serves a build of the program as an update over HTTPS on
// 127.0.0.1, for seeing the whole update on this machine:
//
//   update-host --bin PATH --build N [--built LABEL] [--port N]
//               [--file NAME=PATH ...] [--key HEX]
//
// /hts/hts.json is the manifest of PATH (build N) and the side files, signed
// with the test key (test-key.txt beside this file) or --key; /hts/hts.bin
// and /hts/<name> serve the files. Requests without the update access key
// get 403. The certificate is the fake broker's test certificate. The
// lines printed first are the hts.ini settings that point a program at this
// host, and the public key a test build must be configured with.
#define CPPHTTPLIB_OPENSSL_SUPPORT
#include <httplib.h>

#include "core/ServiceHost.h"
#include "update/Manifest.h"
#include "update/UpdateFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdio>
#include <map>
#include <string>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray TestKey()
{
    for (const QByteArray& line : ReadAll(QStringLiteral(KESTREL_UPDATE_HOST_DIR "/test-key.txt")).split('\n'))
        if (line.startsWith("private "))
            return QByteArray::fromHex(line.mid(8).trimmed());
    return QByteArray();
}

int Fail(const char* what)
{
    std::fprintf(stderr, "update-host: %s\n", what);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString bin, built;
    qint64 build = 0;
    int port = 0;
    QByteArray key = TestKey();
    std::map<std::string, QString> sides;   // name -> path
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString v = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == QLatin1String("--bin"))
            bin = v, ++i;
        else if (a == QLatin1String("--build"))
            build = v.toLongLong(), ++i;
        else if (a == QLatin1String("--built"))
            built = v, ++i;
        else if (a == QLatin1String("--port"))
            port = v.toInt(), ++i;
        else if (a == QLatin1String("--key"))
            key = QByteArray::fromHex(v.toLatin1()), ++i;
        else if (a == QLatin1String("--file") && v.contains(QLatin1Char('=')))
            sides[v.section(QLatin1Char('='), 0, 0).toStdString()] = v.section(QLatin1Char('='), 1), ++i;
        else
            return Fail("usage: update-host --bin PATH --build N [--built LABEL] [--port N] [--file NAME=PATH ...] [--key HEX]");
    }
    if (bin.isEmpty() || build <= 0 || key.size() != 32)
        return Fail("needs --bin, --build above 0 and a 32-byte key");
    const QByteArray exe = ReadAll(bin);
    if (exe.isEmpty())
        return Fail("cannot read --bin");

    TManifest m;
    m.Sha256 = FileSha256(bin);
    m.Size = exe.size();
    m.Build = build;
    m.Built = built.isEmpty() ? QStringLiteral("#%1").arg(build) : built;
    QJsonArray files;
    std::map<std::string, QByteArray> bodies = {{"/hts/hts.bin", exe}};
    for (const auto& [name, path] : sides) {
        const QByteArray body = ReadAll(path);
        const QString n = QString::fromStdString(name);
        m.Files.append({n, n, FileSha256(path), body.size(), false});
        files.append(QJsonObject{{"name", n}, {"url", n}, {"sha256", FileSha256(path)}, {"size", double(body.size())}});
        bodies["/hts/" + name] = body;
    }
    m.Sig = SignText(key, ManifestSignedText(m));
    bodies["/hts/hts.json"] = QJsonDocument(QJsonObject{{"sha256", m.Sha256}, {"size", double(m.Size)}, {"built", m.Built},
                                                        {"build", double(build)}, {"files", files},
                                                        {"sig", QString::fromLatin1(m.Sig.toBase64())}})
                                  .toJson(QJsonDocument::Compact);

    const std::string tls = KESTREL_TLS_DIR;
    httplib::SSLServer server((tls + "/fake-broker.crt").c_str(), (tls + "/fake-broker.key").c_str());
    if (!server.is_valid())
        return Fail("cannot load the test certificate");
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.Get(R"(/hts/(.+))", [&bodies](const httplib::Request& req, httplib::Response& res) {
        if (req.get_header_value(kUpdateKeyHeader) != kUpdateAccessKey) {
            res.status = 403;
            return;
        }
        const auto it = bodies.find(req.path);
        if (it == bodies.end()) {
            res.status = 404;
            return;
        }
        res.set_content(it->second.constData(), size_t(it->second.size()),
                        req.path == "/hts/hts.json" ? "application/json" : "application/octet-stream");
        std::fprintf(stderr, "update-host: %s (%lld bytes)\n", req.path.c_str(), static_cast<long long>(it->second.size()));
    });
    const int bound = port > 0 ? (server.bind_to_port("127.0.0.1", port) ? port : -1) : server.bind_to_any_port("127.0.0.1");
    if (bound <= 0)
        return Fail("cannot listen");
    std::printf("[SERVICE] BASE=https://127.0.0.1:%d\n[SERVICE] CACERT=%s/fake-broker.crt\n", bound, tls.c_str());
    std::printf("# a test build trusts this key: cmake -DKESTREL_UPDATE_PUBKEY=%s\n", PublicKeyOf(key).toHex().constData());
    std::fflush(stdout);
    server.listen_after_bind();
    return 0;
}
