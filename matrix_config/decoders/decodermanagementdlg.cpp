#include "decodermanagementdlg.h"

namespace pral_matrixConfig {

DecoderManagementDlg::DecoderManagementDlg(MatrixInfoMap shownMatrixInfoMap,
                                           MatrixInfoMap managedMatrixInfoMap, bool searchMode,
                                           QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , searchMode(searchMode)
    , matrixInfoMap(shownMatrixInfoMap)
    , managedMatrixInfoMap(managedMatrixInfoMap)
{
    setWindowTitle(searchMode ? tr("Search Decoder") : tr("Decoder Management"));
    resize(860, 500);
}

DecoderManagementDlg::~DecoderManagementDlg() = default;

} // namespace pral_matrixConfig
