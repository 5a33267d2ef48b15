#pragma once

#include "faultinjector.h"
#include "matrixsdkworker.h"
#include "servicethread.h"
#include "simulatedfleet.h"

#include <QTest>

#include <functional>

/**
 * @brief The default fleet as the service's back end, answering at once, and
 * a look at one of its decoders as the requests made so far left it.
 */
class FleetProbe
{
public:
    using Decoder = pral_matrix::SimulatedFleet::Decoder;

    bool install()
    {
        auto made = pral_matrix::SimulatedFleet::fromJson(pral_matrix::SimulatedFleet::defaultFleetJson());
        fleet = made.get();
        worker().setBackend(std::move(made));
        worker().setResultDelay(0);
        worker().faults().clear();
        return fleet != nullptr;
    }

    /** Runs on the service thread after every request made before, so the decoder has applied them. */
    template <typename T>
    T read(const QString& ip, const std::function<T(const Decoder&)>& fn) const
    {
        T value{};
        runOnServiceThread([&] {
            if (const Decoder* d = fleet->decoder(ip))
                value = fn(*d);
        });
        return value;
    }

    pral_matrix::ScreenColor color(const QString& ip, int row, int column) const
    {
        return read<pral_matrix::ScreenColor>(
            ip, [=](const Decoder& d) { return d.colors.value(qMakePair(row, column)); });
    }

    /** Logs in to ip and waits for the connection. */
    static bool connect(const QString& ip, const QString& password = QStringLiteral("Tvwall@2024"))
    {
        pral_matrix::MatrixInfo info;
        info.ip = ip;
        info.userName = QStringLiteral("admin");
        info.password = password;
        worker().connectMatrix(info, nullptr);
        return QTest::qWaitFor([&] { return !worker().getHandleByIp(ip).isNull(); });
    }

    static pral_matrix::MatrixSdkWorker& worker()
    {
        return PSingleton<pral_matrix::MatrixSdkWorker>::_instance();
    }

private:
    pral_matrix::SimulatedFleet* fleet = nullptr;
};
