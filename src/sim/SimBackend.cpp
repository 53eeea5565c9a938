#include "sim/SimBackend.h"
#include "sim/SimQuery.h"
#include "sim/SimReal.h"
#include "sim/SimSession.h"

TSimBackend::TSimBackend(const TSimConfig& cfg, TClock& clock)
    : FExchange(std::make_unique<TSimExchange>(cfg, clock))
{
}

TSimBackend::~TSimBackend() = default;

TXASession* TSimBackend::CreateSession(QObject* parent)
{
    return new TSimSession(FExchange.get(), parent);
}

TXAQuery* TSimBackend::CreateQuery(QObject* parent)
{
    return new TSimQuery(FExchange.get(), parent);
}

TXAReal* TSimBackend::CreateReal(QObject* parent)
{
    return new TSimReal(FExchange.get(), parent);
}

std::unique_ptr<TSimBackend> CreateSimBackend(const TSimConfig& cfg, TClock& clock)
{
    return std::make_unique<TSimBackend>(cfg, clock);
}
