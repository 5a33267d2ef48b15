#include "matrixrecords.h"

#include <QStringList>

namespace pral_matrix {

void registerMatrixMetaTypes()
{
    static const bool registered = [] {
        // Names as the signatures spell them, so that queued connections made
        // by signature find the types.
        qRegisterMetaType<MatrixInfoMap>("MatrixInfoMap");
        qRegisterMetaType<MatrixInfoList>("MatrixInfoList");
        qRegisterMetaType<CMHandle>("CMHandle");
        qRegisterMetaType<CMHandle>("QSharedPointer<CSharedHandle>");
        qRegisterMetaType<MatrixInfo>("pral_matrix::MatrixInfo");
        qRegisterMetaType<TvWallManagement>("pral_matrix::TvWallManagement");
        qRegisterMetaType<ConnectErrorMsgInfo>("pral_matrix::ConnectErrorMsgInfo");
        qRegisterMetaType<ScreenColor>("pral_matrix::ScreenColor");
        qRegisterMetaType<ScreenResolution>("pral_matrix::ScreenResolution");
        qRegisterMetaType<ScreenResolutionInfo>("pral_matrix::ScreenResolutionInfo");
        qRegisterMetaType<MatrixWindowInfo>("pral_matrix::MatrixWindowInfo");
        qRegisterMetaType<ScreenResolution_t>("ScreenResolution_t");
        qRegisterMetaType<DeviceNetworkCfg_t>("DeviceNetworkCfg_t");
        qRegisterMetaType<QList<DeviceInfo_t>>("QList<DeviceInfo_t>");
        qRegisterMetaType<QStringList>("QStringList");
        return true;
    }();
    Q_UNUSED(registered)
}

} // namespace pral_matrix
