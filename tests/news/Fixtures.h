#pragma once
// The disclosure bodies kept beside the news tests (tests/news/fixtures/
// disclosures/), read as the broker delivers them: UTF-8, CR LF lines.
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <gtest/gtest.h>

inline QString U(const char* s) { return QString::fromUtf8(s); }

inline QString Fixture(const char* name)
{
    QFile f(QFileInfo(QString::fromUtf8(__FILE__)).absolutePath() + QStringLiteral("/fixtures/disclosures/") +
            QString::fromUtf8(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return QString::fromUtf8(f.readAll());
}
