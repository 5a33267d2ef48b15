#include "demoseed.h"

#include "matrixsdkworker.h"
#include "simulatedfleet.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace pral_matrix;

bool seedDemoStore(const QByteArray& fleetJson, QString* error)
{
    if (!MatrixSdkWorker::getDecoderFromJson().isEmpty() || !MatrixSdkWorker::getMatrixFromJson().isEmpty())
        return true;

    // A private copy of the fleet answers the questions the operator's client would
    // ask over the network; the service's own fleet stays untouched.
    std::unique_ptr<SimulatedFleet> fleet = SimulatedFleet::fromJson(fleetJson, error);
    if (!fleet)
        return false;

    // Only the fleet description knows the passwords an operator would type.
    QHash<QString, QPair<QString, QString>> logins;
    const QJsonArray described = QJsonDocument::fromJson(fleetJson).object().value("decoders").toArray();
    for (const QJsonValue& v : described) {
        const QJsonObject o = v.toObject();
        logins.insert(o.value("ip").toString(), {o.value("userName").toString(QStringLiteral("admin")),
                                                 o.value("password").toString()});
    }

    QList<MatrixInfo> decoders;
    QList<TvWallManagement> walls;
    const MatrixInfoMap found = fleet->search();
    for (MatrixInfo info : found) {
        if (!info.activated)
            continue;
        const auto login = logins.value(info.ip);
        info.userName = login.first;
        info.password = login.second;
        decoders.append(info);

        const DecoderBackend::Layout layout = fleet->getLayout(info.ip);
        if (layout.result != 0 || layout.name.isEmpty())
            continue;
        TvWallManagement wall;
        wall.tvWallName = layout.name;
        wall.mainIp = layout.mainIp.isEmpty() ? info.ip : layout.mainIp;
        wall.row = layout.rows;
        wall.col = layout.cols;
        wall.matrixInfoList = layout.screens;
        wall.mainMatrix = info;
        walls.append(wall);
    }
    MatrixSdkWorker::addDecoderToJson(decoders);
    MatrixSdkWorker::addMatrixToJson(walls);
    if (!MatrixSdkWorker::flushStore()) {
        *error =
            QStringLiteral("the data directory %1 cannot be written").arg(MatrixSdkWorker::dataDirectory());
        return false;
    }
    return true;
}
