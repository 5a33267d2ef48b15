#pragma once

// Helpers of the wizard tests: the fleet as the service's back end with a look
// at what its decoders hold, and the wizard's parts found the way they are meant.

#include "faultinjector.h"
#include "matrixsdkworker.h"
#include "modalanswerer.h"
#include "screenlayoutwt.h"
#include "servicethread.h"
#include "simulatedfleet.h"

#include <QApplication>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include <climits>

namespace wiz {

// A decoder's record has its windows as a member or behind an accessor.
template <typename D>
auto windowsOf(const D& d, int) -> decltype(d.windows())
{
    return d.windows();
}
template <typename D>
auto windowsOf(const D& d, long) -> decltype(d.windows)
{
    return d.windows;
}

/**
 * @brief The default fleet as the service's back end, answering at once; each
 * look runs on the service thread after the requests made before it.
 */
class FleetProbe
{
public:
    static pral_matrix::MatrixSdkWorker& worker()
    {
        return PSingleton<pral_matrix::MatrixSdkWorker>::_instance();
    }

    bool install()
    {
        auto made = pral_matrix::SimulatedFleet::fromJson(pral_matrix::SimulatedFleet::defaultFleetJson());
        fleet = made.get();
        worker().setBackend(std::move(made));
        worker().setResultDelay(0);
        worker().faults().clear();
        // Requests still queued (a disconnect from the last test) are done before a connection is awaited:
        // otherwise a handle about to go could pass for the new one.
        runOnServiceThread([] {});
        return fleet != nullptr;
    }

    /** Logs in to ip and waits for the connection. */
    static bool connect(const QString& ip)
    {
        pral_matrix::MatrixInfo info;
        info.ip = ip;
        info.userName = QStringLiteral("admin");
        info.password = QStringLiteral("Tvwall@2024");
        worker().connectMatrix(info, nullptr);
        return QTest::qWaitFor([&] { return !worker().getHandleByIp(ip).isNull(); });
    }

    pral_matrix::ScreenColor color(const QString& ip, int row, int column) const
    {
        pral_matrix::ScreenColor color;
        runOnServiceThread([&] { fleet->getScreenColor(ip, row, column, &color); });
        return color;
    }
    ScreenResolution_t resolution(const QString& ip, int row, int column) const
    {
        ScreenResolution_t value{0, 0, 0};
        runOnServiceThread([&] { fleet->getResolution(ip, row, column, &value); });
        return value;
    }
    pral_matrix::DecoderBackend::Layout wall(const QString& ip) const
    {
        pral_matrix::DecoderBackend::Layout layout;
        runOnServiceThread([&] { layout = fleet->getLayout(ip); });
        return layout;
    }
    /** What another desk does: the decoder at ip takes wall as its layout. Returns the decoder's result. */
    int setWall(const QString& ip, const pral_matrix::TvWallManagement& wall) const
    {
        int result = INT_MIN;
        runOnServiceThread([&] {
            result = fleet->setLayout(ip, pral_matrix::MATRIX_TYPE_MULTI_OUTPUT, wall.row, wall.col,
                                      wall.matrixInfoList, wall.tvWallName);
        });
        return result;
    }
    /** The fleet itself: it lives on the service thread and is used only there. */
    pral_matrix::SimulatedFleet* model() const { return fleet; }
    QList<pral_matrix::MatrixWindowInfo> windows(const QString& ip) const
    {
        QList<pral_matrix::MatrixWindowInfo> list;
        runOnServiceThread([&] { list = windowsOf(*fleet->decoder(ip), 0); });
        return list;
    }

private:
    pral_matrix::SimulatedFleet* fleet = nullptr;
};

inline void settle()
{
    runOnServiceThread([] {});
}

/** A part of the wizard by name: the embedded page has widgets of the same names deeper down. */
inline QWidget* part(QWidget* wizard, const char* name)
{
    return wizard->findChild<QWidget*>(name);
}

inline void clickIn(QWidget* wizard, const char* container, const char* button)
{
    QTest::mouseClick(part(wizard, container)->findChild<QPushButton*>(button), Qt::LeftButton);
}

/** The screens of the binding page ("bindingMatrixWt") or of the adjustment page ("adjustScreenWt"). */
inline pral_matrixConfig::ScreenLayoutWt* view(QWidget* wizard, const char* owner)
{
    return part(wizard, owner)->findChild<pral_matrixConfig::ScreenLayoutWt*>(QStringLiteral("wallwt"));
}

/** Drops drag data of the tree's format on a screen as a drag would; true when the screen took it. */
inline bool drop(QWidget* screen, const QByteArray& data)
{
    QMimeData mime;
    mime.setData(QStringLiteral("matrixtreeitem"), data);
    QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(screen, &enter);
    QDropEvent dropped(QPointF(5, 5), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(screen, &dropped);
    return enter.isAccepted();
}

/** Clicks a bottom-bar button and answers the question it asks; false when none came. */
inline bool answered(QWidget* wizard, const char* button, bool confirm)
{
    ModalAnswerer answer(QStringLiteral("PCOMMON::PMessageBox"), [confirm](QWidget* box) {
        ModalAnswerer::clickButton(box, QLatin1String(confirm ? "okBtn" : "cancelBtn"));
    });
    clickIn(wizard, "widget_bottom", button);
    return answer.answered();
}

} // namespace wiz
