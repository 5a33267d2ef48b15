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

/// Every image the module carries, with the size of the widget that shows it. Images that a
/// widget scales (border-image, QIcon) may be drawn at twice that size; the tree icons and the
/// wizard banners are shown 1:1 by a QLabel and must have exactly their size.
struct Role
{
    QStringList names;
    QSize size;
    bool exact;
};

const QList<Role>& roles()
{
    static const QList<Role> all = {
        {{"4_n.png", "4_h.png", "4_p.png", "6_n.png", "6_h.png", "6_p.png", "9_n.png", "9_h.png", "9_p.png",
          "12_n.png", "12_h.png", "12_p.png", "mn_n.png", "mn_h.png", "mn_p.png"},
         QSize(22, 22),
         false},
        {{"decoder_management_n.png", "decoder_management_h.png", "window_n.png", "window_h.png",
          "password_n.png"},
         QSize(20, 20),
         false},
        {{"off_n.png",          "off_p.png",          "off_all_n.png",
          "off_all_p.png",      "cs_open_n.png",      "cs_open_p.png",
          "cs_runing.png",      "cs_off_p.png",       "connect_n.png",
          "unconnect_n.png",    "unconnect_h.png",    "refresh.png",
          "active.png",         "ico_show_log_n.png", "ico_show_log_h.png",
          "netsetting_n.png",   "netsetting_h.png",   "ico_download_n.png",
          "ico_download_h.png", "ico_export_n.png",   "ico_export_h.png",
          "update_n.png",       "update_h.png",       "resolution_n.png",
          "resolution_h.png",   "recover_n.png",      "recover_h.png",
          "selected.png",       "unselected.png",     "ip_list_right_pic.png"},
         QSize(16, 16),
         false},
        {{"jmq_n.png", "jmq_p.png", "ip_n.png", "ip_h.png", "ip_p.png", "ip_main_decoder.png"},
         QSize(16, 16),
         true},
        {{"switch_on.png", "switch_off.png"}, QSize(32, 16), false},
        {{"bg_homicon_n.png", "bg_homicon_hover.png"}, QSize(48, 48), false},
        {{"add_matrix_first_page.png", "add_matrix_second_page.png", "add_matrix_third_page.png"},
         QSize(540, 32),
         true},
    };
    return all;
}

QStringList allNames()
{
    QStringList names;
    for (const Role& role : roles())
        names += role.names;
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

QImage readImage(const QString& name)
{
    QImageReader reader(bundlePath(name));
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
    void initTestCase();
    void loadRegistersEveryImage();
    void imagesAreStoredUncompressed();
    void imagesDecodeAtTheirWidgetSize_data();
    void imagesDecodeAtTheirWidgetSize();
    void stateVariantsLookDifferent_data();
    void stateVariantsLookDifferent();
    void hostImagesDecodeAtTheirWidgetSize_data();
    void hostImagesDecodeAtTheirWidgetSize();
    void unloadRemovesTheBundle();
    void secondLoadRegistersItAgain();
    void cleanupTestCase();

private:
    QLibrary library{QStringLiteral(MATRIX_CONFIG_LIBRARY_FILE)};
    QHash<QString, QImage> firstLoad;
};

void TestResourceBundle::initTestCase()
{
    QVERIFY2(QFile::exists(library.fileName()), qPrintable(library.fileName()));
    // A test binary that linked the module would see the bundle before loading anything and
    // could never observe the unload.
    QVERIFY(!mappedInProcess(library.fileName()));
    QVERIFY(!QFile::exists(bundlePath(QStringLiteral("4_n.png"))));
    QVERIFY(!QDir(BundleDir).exists());
}

void TestResourceBundle::loadRegistersEveryImage()
{
    QVERIFY2(library.load(), qPrintable(library.errorString()));
    QVERIFY(mappedInProcess(library.fileName()));
    const QStringList present = QDir(BundleDir).entryList(QDir::Files, QDir::Name);
    // Exactly the module's images: a missing one shows as an empty button, a stray one is dead weight.
    QCOMPARE(present, allNames());
    QCOMPARE(present.size(), 63);
    for (const QString& name : present) {
        QVERIFY2(QFile::exists(bundlePath(name)), qPrintable(name));
        firstLoad.insert(name, readImage(name));
    }
}

void TestResourceBundle::imagesAreStoredUncompressed()
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

void TestResourceBundle::imagesDecodeAtTheirWidgetSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("widgetSize");
    QTest::addColumn<bool>("exact");
    for (const Role& role : roles()) {
        for (const QString& name : role.names)
            QTest::newRow(qPrintable(name)) << name << role.size << role.exact;
    }
}

void TestResourceBundle::imagesDecodeAtTheirWidgetSize()
{
    QFETCH(QString, name);
    QFETCH(QSize, widgetSize);
    QFETCH(bool, exact);

    QImageReader reader(bundlePath(name));
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    if (exact)
        QCOMPARE(image.size(), widgetSize);
    else
        QVERIFY2(image.size() == widgetSize || image.size() == widgetSize * 2,
                 qPrintable(QStringLiteral("%1x%2").arg(image.width()).arg(image.height())));
    // The buttons draw nothing but the image: it must have a transparent margin or background
    // somewhere and paint something visible.
    QVERIFY(image.hasAlphaChannel());
    QImage empty(image.size(), QImage::Format_ARGB32_Premultiplied);
    empty.fill(Qt::transparent);
    QVERIFY2(visibleDifference(image, empty) > 0.0, "the image is fully transparent");
}

void TestResourceBundle::stateVariantsLookDifferent_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    const QList<QStringList> families = {
        {"4_n", "4_h", "4_p"},
        {"6_n", "6_h", "6_p"},
        {"9_n", "9_h", "9_p"},
        {"12_n", "12_h", "12_p"},
        {"mn_n", "mn_h", "mn_p"},
        {"4_n", "6_n", "9_n", "12_n", "mn_n"},
        {"decoder_management_n", "decoder_management_h"},
        {"off_n", "off_p"},
        {"off_all_n", "off_all_p"},
        {"off_n", "off_all_n"},
        {"cs_open_n", "cs_open_p", "cs_runing"},
        {"connect_n", "unconnect_n", "unconnect_h"},
        {"ip_n", "ip_h", "ip_p"},
        {"jmq_n", "jmq_p"},
        {"ico_show_log_n", "ico_show_log_h"},
        {"netsetting_n", "netsetting_h"},
        {"ico_download_n", "ico_download_h"},
        {"ico_export_n", "ico_export_h"},
        {"update_n", "update_h"},
        {"resolution_n", "resolution_h"},
        {"recover_n", "recover_h"},
        {"selected", "unselected"},
        {"switch_on", "switch_off"},
        {"window_n", "window_h"},
        {"bg_homicon_n", "bg_homicon_hover"},
        {"add_matrix_first_page", "add_matrix_second_page", "add_matrix_third_page"},
    };
    for (const QStringList& family : families) {
        for (int i = 0; i < family.size(); ++i) {
            for (int j = i + 1; j < family.size(); ++j) {
                QTest::newRow(qPrintable(family[i] + QLatin1String(" vs ") + family[j]))
                    << family[i] + QLatin1String(".png") << family[j] + QLatin1String(".png");
            }
        }
    }
}

void TestResourceBundle::stateVariantsLookDifferent()
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

void TestResourceBundle::hostImagesDecodeAtTheirWidgetSize_data()
{
    // The host's own bundle, which its global style sheet and the module's header buttons name.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("widgetSize");
    const QList<Role> host = {
        {{"add_n.png", "add_h.png", "edit_n.png", "edit_h.png", "delete_n.png", "delete_h.png",
          "arrow_up_n.png", "arrow_up_h.png", "arrow_down_n.png", "arrow_down_h.png"},
         QSize(20, 20),
         false},
        {{"close_n.png", "close_h.png", "check_on.png", "check_off.png", "calendar.png", "folder.png"},
         QSize(16, 16),
         false},
        {{"combo_arrow.png"}, QSize(10, 6), false},
    };
    for (const Role& role : host) {
        for (const QString& name : role.names)
            QTest::newRow(qPrintable(name)) << name << role.size;
    }
}

void TestResourceBundle::hostImagesDecodeAtTheirWidgetSize()
{
    QFETCH(QString, name);
    QFETCH(QSize, widgetSize);
    const QImage image(QStringLiteral(":/images/images/") + name);
    QVERIFY2(!image.isNull(), qPrintable(name));
    QVERIFY(image.size() == widgetSize || image.size() == widgetSize * 2);
    QImage empty(image.size(), QImage::Format_ARGB32_Premultiplied);
    empty.fill(Qt::transparent);
    QVERIFY2(visibleDifference(image, empty) > 0.0, "the image is fully transparent");
    if (name.endsWith(QLatin1String("_n.png"))) {
        const QImage hover(QStringLiteral(":/images/images/") + name.chopped(6) + QLatin1String("_h.png"));
        QCOMPARE(hover.size(), image.size());
        QVERIFY(visibleDifference(image, hover) >= 0.15);
    }
}

void TestResourceBundle::unloadRemovesTheBundle()
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

void TestResourceBundle::secondLoadRegistersItAgain()
{
    QVERIFY2(library.load(), qPrintable(library.errorString()));
    QCOMPARE(QDir(BundleDir).entryList(QDir::Files, QDir::Name), allNames());
    QCOMPARE(firstLoad.size(), 63);
    for (auto it = firstLoad.cbegin(); it != firstLoad.cend(); ++it) {
        const QImage again = readImage(it.key());
        QVERIFY2(!again.isNull(), qPrintable(it.key()));
        QVERIFY2(again == it.value(), qPrintable(it.key()));
    }
}

void TestResourceBundle::cleanupTestCase()
{
    if (library.isLoaded())
        library.unload();
}

QTEST_MAIN(TestResourceBundle)
#include "tst_resourcebundle.moc"
