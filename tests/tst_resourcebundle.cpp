#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLibrary>
#include <QResource>
#include <QtTest>

#ifndef MATRIX_CONFIG_LIBRARY_FILE
#error "MATRIX_CONFIG_LIBRARY_FILE must name the built module library"
#endif

namespace {

const QString BundleDir = QStringLiteral(":/matrixConfig_images/images");

/// Every image the module carries, with the size of the widget that shows it. Each one is drawn
/// at exactly that size, and again at twice the size as NAME@2x.png for 200 % screens.
struct Role
{
    QStringList names;
    QSize size;
};

/// names: the file names without ".png", separated by spaces.
Role role(const char* names, QSize size)
{
    QStringList files = QString::fromLatin1(names).split(QLatin1Char(' '));
    for (QString& file : files)
        file += QLatin1String(".png");
    return Role{files, size};
}

QString twice(const QString& name)
{
    return name.chopped(4) + QLatin1String("@2x.png");
}

const QList<Role>& roles()
{
    static const QList<Role> all = {
        role("4_n 4_h 4_p 6_n 6_h 6_p 9_n 9_h 9_p 12_n 12_h 12_p mn_n mn_h mn_p", QSize(22, 22)),
        role("decoder_management_n decoder_management_h window_n window_h password_n", QSize(20, 20)),
        role("off_n off_p off_all_n off_all_p cs_open_n cs_open_p cs_runing cs_off_p connect_n unconnect_n "
             "unconnect_h refresh active ico_show_log_n ico_show_log_h netsetting_n netsetting_h "
             "ico_download_n "
             "ico_download_h ico_export_n ico_export_h update_n update_h resolution_n resolution_h recover_n "
             "recover_h selected unselected ip_list_right_pic watching",
             QSize(16, 16)),
        role("jmq_n jmq_p jmq_changed ip_n ip_h ip_p ip_main_decoder", QSize(16, 16)),
        role("switch_on switch_off", QSize(32, 16)),
        role("bg_homicon_n bg_homicon_hover", QSize(48, 48)),
        role("add_matrix_first_page add_matrix_second_page add_matrix_third_page", QSize(540, 32)),
    };
    return all;
}

/// The host's own bundle, which its global style sheet and the module's header buttons name.
const QList<Role>& hostRoles()
{
    static const QList<Role> all = {
        role("add_n add_h edit_n edit_h delete_n delete_h arrow_up_n arrow_up_h arrow_down_n arrow_down_h",
             QSize(20, 20)),
        role("close_n close_h check_on check_off calendar folder", QSize(16, 16)),
        role("combo_arrow", QSize(10, 6)),
    };
    return all;
}

const QString HostDir = QStringLiteral(":/images/images/");

QStringList allNames()
{
    QStringList names;
    for (const Role& role : roles()) {
        for (const QString& name : role.names)
            names << name << twice(name);
    }
    names.sort();
    return names;
}

QString bundlePath(const QString& name)
{
    return BundleDir + QLatin1Char('/') + name;
}

/// True when the dynamic linker still has the file mapped: QLibrary::unload() reports success even
/// when dlclose() keeps the library (for instance because of STB_GNU_UNIQUE symbols).
bool mappedInProcess(const QString& libraryFile)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    const QByteArray canonical = QFileInfo(libraryFile).canonicalFilePath().toLocal8Bit();
    return maps.readAll().contains(canonical);
}

/// Share of the visible pixels that two same-sized images paint clearly differently.
double visibleDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int visible = 0;
    int different = 0;
    for (int row = 0; row < x.height(); ++row) {
        const QRgb* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const QRgb* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            if (qAlpha(p[col]) < 32 && qAlpha(q[col]) < 32)
                continue;
            ++visible;
            const int delta =
                qMax(qMax(qAbs(qRed(p[col]) - qRed(q[col])), qAbs(qGreen(p[col]) - qGreen(q[col]))),
                     qMax(qAbs(qBlue(p[col]) - qBlue(q[col])), qAbs(qAlpha(p[col]) - qAlpha(q[col]))));
            if (delta > 40)
                ++different;
        }
    }
    return visible == 0 ? 0.0 : double(different) / visible;
}

/// name is a module image, or a path into the host's bundle.
QImage readImage(const QString& name)
{
    QImageReader reader(name.startsWith(HostDir) ? name : bundlePath(name));
    reader.setAutoTransform(false);
    return reader.read();
}

} // namespace

/**
 * @brief Loads the module library at run time and checks that its image bundle comes and goes
 * with it, and that the images are usable for the widgets that show them.
 */
class TestResourceBundle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(library.fileName()), qPrintable(library.fileName()));
        // A test binary that linked the module would see the bundle before loading anything and
        // could never observe the unload.
        QVERIFY(!mappedInProcess(library.fileName()));
        QVERIFY(!QFile::exists(bundlePath(QStringLiteral("4_n.png"))));
        QVERIFY(!QDir(BundleDir).exists());
    }

    void loadRegistersEveryImage()
    {
        QVERIFY2(library.load(), qPrintable(library.errorString()));
        QVERIFY(mappedInProcess(library.fileName()));
        const QStringList present = QDir(BundleDir).entryList(QDir::Files, QDir::Name);
        // Exactly the module's images: a missing one shows as an empty button, a stray one is dead weight.
        QCOMPARE(present, allNames());
        QCOMPARE(present.size(), 2 * 65);
        for (const QString& name : present) {
            QVERIFY2(QFile::exists(bundlePath(name)), qPrintable(name));
            firstLoad.insert(name, readImage(name));
        }
    }

    void imagesAreStoredUncompressed()
    {
        for (const QString& name : allNames()) {
            const QResource resource(bundlePath(name));
            QVERIFY2(resource.isValid(), qPrintable(name));
            QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);
            // Stored as is, the data is the PNG file itself.
            QVERIFY2(resource.uncompressedSize() == resource.size(), qPrintable(name));
            QVERIFY2(QByteArray::fromRawData(reinterpret_cast<const char*>(resource.data()), 8) ==
                         QByteArray("\x89PNG\r\n\x1a\n", 8),
                     qPrintable(name));
        }
    }

    void imagesDecodeAtTheirWidgetSize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("widgetSize");
        for (const Role& role : roles()) {
            for (const QString& name : role.names)
                QTest::newRow(qPrintable(name)) << name << role.size;
        }
        for (const Role& role : hostRoles()) {
            for (const QString& name : role.names)
                QTest::newRow(qPrintable("host " + name)) << HostDir + name << role.size;
        }
    }

    void imagesDecodeAtTheirWidgetSize()
    {
        QFETCH(QString, name);
        QFETCH(QSize, widgetSize);

        QImageReader reader(name.startsWith(HostDir) ? name : bundlePath(name));
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), widgetSize);
        // The buttons draw nothing but the image: it must have a transparent margin or background
        // somewhere and paint something visible.
        QVERIFY(image.hasAlphaChannel());
        QImage empty(image.size(), QImage::Format_ARGB32_Premultiplied);
        empty.fill(Qt::transparent);
        QVERIFY2(visibleDifference(image, empty) > 0.0, "the image is fully transparent");

        // The 200 % image is the same picture with twice the pixels, not a stale or foreign one.
        const QImage sharp = readImage(twice(name));
        QVERIFY2(!sharp.isNull(), qPrintable(twice(name)));
        QCOMPARE(sharp.size(), widgetSize * 2);
        QCOMPARE(sharp.devicePixelRatio(), 2.0);
        const double share = visibleDifference(
            sharp.scaled(widgetSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), image);
        QVERIFY2(share < 0.1, qPrintable(QStringLiteral("%1% of the pixels differ").arg(share * 100)));
    }

    void stateVariantsLookDifferent_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        // Each group: the states (or kinds) of one button, which must look different from each other.
        QList<QStringList> families;
        for (const char* group : {"4_n 4_h 4_p",
                                  "6_n 6_h 6_p",
                                  "9_n 9_h 9_p",
                                  "12_n 12_h 12_p",
                                  "mn_n mn_h mn_p",
                                  "4_n 6_n 9_n 12_n mn_n",
                                  "decoder_management_n decoder_management_h",
                                  "off_n off_p",
                                  "off_all_n off_all_p",
                                  "off_n off_all_n",
                                  "cs_open_n cs_open_p cs_runing",
                                  "connect_n unconnect_n unconnect_h",
                                  "ip_n ip_h ip_p",
                                  "jmq_n jmq_p jmq_changed",
                                  "ico_show_log_n ico_show_log_h",
                                  "netsetting_n netsetting_h",
                                  "ico_download_n ico_download_h",
                                  "ico_export_n ico_export_h",
                                  "update_n update_h",
                                  "resolution_n resolution_h",
                                  "recover_n recover_h",
                                  "selected unselected",
                                  "switch_on switch_off",
                                  "window_n window_h",
                                  "bg_homicon_n bg_homicon_hover",
                                  "add_matrix_first_page add_matrix_second_page add_matrix_third_page"})
            families.append(QString::fromLatin1(group).split(QLatin1Char(' ')));
        // The host's buttons: normal against hover.
        for (const Role& role : hostRoles()) {
            for (const QString& name : role.names) {
                if (name.endsWith(QLatin1String("_n.png")))
                    families.append(
                        {HostDir + name.chopped(4), HostDir + name.chopped(6) + QLatin1String("_h")});
            }
        }
        for (const QStringList& family : families) {
            for (int i = 0; i < family.size(); ++i) {
                for (int j = i + 1; j < family.size(); ++j) {
                    QTest::newRow(qPrintable(family[i] + QLatin1String(" vs ") + family[j]))
                        << family[i] + QLatin1String(".png") << family[j] + QLatin1String(".png");
                }
            }
        }
    }

    void stateVariantsLookDifferent()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        const QImage a = readImage(first);
        const QImage b = readImage(second);
        QVERIFY(!a.isNull());
        QVERIFY(!b.isNull());
        QCOMPARE(a.size(), b.size());
        // The operator must see the change of state at a glance, not a few stray pixels.
        const double share = visibleDifference(a, b);
        QVERIFY2(share >= 0.15,
                 qPrintable(QStringLiteral("only %1% of the visible pixels differ").arg(share * 100)));
    }

    void unloadRemovesTheBundle()
    {
        QVERIFY(library.isLoaded());
        QVERIFY2(library.unload(), qPrintable(library.errorString()));
        // If the dynamic linker kept the library (a STB_GNU_UNIQUE symbol makes it undeletable), its
        // static destructors never ran and the bundle would stay registered.
        QVERIFY2(!mappedInProcess(library.fileName()), "the library is still mapped after unload");
        for (const QString& name : allNames())
            QVERIFY2(!QFile::exists(bundlePath(name)), qPrintable(name));
        QVERIFY(!QDir(BundleDir).exists());
        QVERIFY(!QResource(bundlePath(QStringLiteral("4_n.png"))).isValid());
    }

    void secondLoadRegistersItAgain()
    {
        QVERIFY2(library.load(), qPrintable(library.errorString()));
        QCOMPARE(QDir(BundleDir).entryList(QDir::Files, QDir::Name), allNames());
        QCOMPARE(firstLoad.size(), 2 * 65);
        for (auto it = firstLoad.cbegin(); it != firstLoad.cend(); ++it) {
            const QImage again = readImage(it.key());
            QVERIFY2(!again.isNull(), qPrintable(it.key()));
            QVERIFY2(again == it.value(), qPrintable(it.key()));
        }
    }

    void cleanupTestCase()
    {
        if (library.isLoaded())
            library.unload();
    }

private:
    QLibrary library{QStringLiteral(MATRIX_CONFIG_LIBRARY_FILE)};
    QHash<QString, QImage> firstLoad;
};

QTEST_MAIN(TestResourceBundle)
#include "tst_resourcebundle.moc"
