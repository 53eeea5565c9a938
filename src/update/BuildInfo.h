#pragma once
// What this build is, for the update step: its number and the key update
// manifests must be signed with (both set when the build is configured).
#include <QByteArray>
#include <QtGlobal>

qint64 RunningBuild();
// 32 bytes, or empty when the build was configured without a key.
QByteArray UpdatePublicKey();
