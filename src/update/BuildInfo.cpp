#include "update/BuildInfo.h"

qint64 RunningBuild() { return KESTREL_BUILD_NUMBER; }

QByteArray UpdatePublicKey()
{
    const QByteArray key = QByteArray::fromHex(KESTREL_UPDATE_PUBKEY);
    return key.size() == 32 ? key : QByteArray();
}
