#pragma once
// A facet owns one part of the window: its state, the widgets it fills, its
// timers, the requests it sends and the answers it reads. It reaches shared
// services through the context and loads and saves its own hts.ini keys.
#include "app/AppContext.h"

#include <QObject>

class TIniFile;

class TFacet : public QObject {
public:
    explicit TFacet(TAppContext& ctx, QObject* parent = nullptr) : QObject(parent), Ctx(ctx) {}

    // Applies the facet's saved keys (start-up) and writes them back (close).
    virtual void LoadLayout(const TIniFile& ini) { Q_UNUSED(ini); }
    virtual void SaveLayout(TIniFile& ini) const { Q_UNUSED(ini); }

protected:
    TAppContext& Ctx;
    void Log(const QString& text) const { Ctx.Log(text); }
};
