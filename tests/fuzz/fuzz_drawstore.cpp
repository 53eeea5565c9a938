// The chart drawings file (draws.json): the input is the file's bytes.
//
// Checks:
//  - a file that loads saves as ASCII JSON after a byte-order mark, leaves
//    no temporary file, and loads again to the same store;
//  - the drawings read under a key and stored back under it read the same
//    (except a kind whose first character is half of a surrogate pair: only
//    the first UTF-16 unit of "k" is kept, and such a unit has no UTF-8 form);
//  - a file that does not load is renamed aside byte for byte to
//    "<file>.bad-...", the message starts with "!! ", and nothing is left
//    under the old name.
#include "FuzzUtil.h"
#include "chart/DrawStore.h"

#include <cstdint>

namespace {

bool HasLoneSurrogateKind(const QVector<TDrawObj>& draws)
{
    for (const TDrawObj& d : draws)
        if (d.K.isSurrogate())
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = InputBytes(data, size);
    const QString name = QStringLiteral("draws.json");
    ClearFuzzDir();
    const QString path = WriteFuzzFile(name, bytes);

    TDrawStore store(path);
    const QString msg = store.Load();
    if (!msg.isEmpty()) {
        FUZZ_CHECK(msg.startsWith(QStringLiteral("!! ")), QStringLiteral("message: ") + msg);
        const QStringList left = FuzzDirEntries();
        FUZZ_CHECK(left.size() == 1 && left[0].startsWith(name + QStringLiteral(".bad-")),
                   QStringLiteral("after a refused load: ") + left.join(QLatin1Char(' ')));
        FUZZ_CHECK(ReadWholeFile(FuzzPath(left[0])) == bytes, QStringLiteral("the set-aside file lost bytes"));
        FUZZ_CHECK(store.IsEmpty(), QStringLiteral("a refused file left drawings in the store"));
        return 0;
    }

    const QByteArray body = store.Serialize();
    FUZZ_CHECK(body.startsWith("\xEF\xBB\xBF"), QStringLiteral("no byte-order mark"));
    for (qsizetype i = 3; i < body.size(); ++i)
        FUZZ_CHECK(static_cast<unsigned char>(body[i]) >= 0x20 && static_cast<unsigned char>(body[i]) < 0x80,
                   QStringLiteral("byte %1 of the file is 0x%2").arg(i).arg(static_cast<unsigned char>(body[i]), 0, 16));
    const QString saveErr = store.Save();
    FUZZ_CHECK(saveErr.isEmpty(), QStringLiteral("Save: ") + saveErr);
    FUZZ_CHECK(FuzzDirEntries() == QStringList{name}, QStringLiteral("files: ") + FuzzDirEntries().join(QLatin1Char(' ')));
    FUZZ_CHECK(ReadWholeFile(path) == body, QStringLiteral("the file is not Serialize()"));

    TDrawStore back(path);
    const QString backMsg = back.Load();
    FUZZ_CHECK(backMsg.isEmpty(), QStringLiteral("the saved file does not load: ") + backMsg);
    FUZZ_CHECK(back.Serialize() == body && back.Keys() == store.Keys(),
               QStringLiteral("the store changed by save and reload:\n%1\n%2").arg(Shown(body), Shown(back.Serialize())));

    // Every drawing a chart reads, stored back as the chart stores it.
    int n = 0;
    for (const QString& key : store.Keys()) {
        if (++n > 16)
            break;
        if (key.isEmpty()) // no chart's key: SaveDraws leaves it alone
            continue;
        const QVector<TDrawObj> draws = store.Draws(key);
        if (HasLoneSurrogateKind(draws))
            continue;
        const QString err = store.SaveDraws(key, draws);
        FUZZ_CHECK(err.isEmpty(), QStringLiteral("SaveDraws: ") + err);
        const QVector<TDrawObj> again = store.Draws(key);
        FUZZ_CHECK(again == draws, QStringLiteral("drawings under %1 changed by storing them back").arg(Shown(key)));
        FUZZ_CHECK(store.Keys().contains(key) == !draws.isEmpty(),
                   QStringLiteral("key %1 kept or dropped wrongly").arg(Shown(key)));
    }
    TDrawStore last(path);
    FUZZ_CHECK(last.Load().isEmpty(), QStringLiteral("the file written by SaveDraws does not load"));
    FUZZ_CHECK(last.Serialize() == store.Serialize(), QStringLiteral("SaveDraws wrote something else than the store"));
    return 0;
}
