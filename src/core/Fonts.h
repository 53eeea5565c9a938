#pragma once
// The font families of every text on screen: "맑은 고딕" where it exists,
// then Korean families a Linux desktop has.
#include <QStringList>

inline QStringList UiFontFamilies()
{
    return {QStringLiteral("맑은 고딕"), QStringLiteral("Malgun Gothic"), QStringLiteral("NanumGothic"),
            QStringLiteral("Noto Sans CJK KR"), QStringLiteral("Noto Sans KR")};
}
