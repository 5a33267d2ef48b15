// The installed application: `cmake --install` lays out a tree that runs wherever it is put, with
// nothing of the build folder left in it. The tree is installed under two prefixes, and a third copy
// is moved after installing; each runs from an unrelated folder with a home of its own, as an operator
// would start it.

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString AppId = QStringLiteral("org.example.tvwall");
const QStringList Programs = {"tvwall", "tvwall-decoderd", "tvwall-mkfirmware"};
const QStringList Libraries = {"host_framework", "decoder_service", "decoder_network", "matrix_config"};

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

} // namespace

class TestInstalledTree : public QObject
{
    Q_OBJECT

    QTemporaryDir root;

private slots:
    void initTestCase()
    {
        QVERIFY(root.isValid());
        for (const char* prefix : {"usr", "opt/tvwall", "staging"}) {
            const Run installed =
                run(TVWALL_CMAKE, {"--install", TVWALL_BUILD_DIR, "--prefix", tree(prefix)});
            QVERIFY2(installed.exitCode == 0, installed.out + installed.err);
        }
        // A tree must not remember where it was installed either.
        QVERIFY(QDir().rename(tree("staging"), tree("moved")));
    }

    void layout_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::newRow("/usr") << "usr";
        QTest::newRow("/opt/tvwall") << "opt/tvwall";
    }
    void layout()
    {
        QFETCH(QString, prefix);
        const QDir top(tree(prefix));
        QStringList expected;
        for (const QString& program : Programs)
            expected << "bin/" + program;
        for (const QString& library : Libraries)
            expected << "lib/tvwall/lib" + library + ".so";
        for (const QString& catalogue :
             QStringList{"matrix_config", "decoder_service", "host_framework", "tvwall"})
            expected << "share/tvwall/translations/" + catalogue + "_zh_CN.qm";
        for (const QString& picture : QStringList{"red", "green", "blue", "black", "white"})
            expected << "share/tvwall/resources/" + picture + ".jpg";
        expected << "share/applications/" + AppId + ".desktop"
                 << "share/metainfo/" + AppId + ".metainfo.xml"
                 << "share/icons/hicolor/scalable/apps/" + AppId + ".svg";
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            expected << QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId);
        expected << "share/doc/tvwall/copyright"
                 << "share/doc/tvwall/changelog.gz";
        if (TVWALL_MANPAGES) {
            for (const QString& program : Programs)
                expected << "share/man/man1/" + program + ".1.gz";
        }
        QStringList missing;
        for (const QString& file : expected) {
            if (!QFileInfo(top.filePath(file)).isFile())
                missing << file;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
        // Unversioned libraries directly in lib/ would land on the system's library path under /usr.
        QCOMPARE(QDir(top.filePath("lib")).entryList(QDir::Files), QStringList());
        // Pictures of the icon theme are the sizes their folders promise.
        for (int size : {16, 48, 256}) {
            const QImage icon(
                top.filePath(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId)));
            QCOMPARE(icon.size(), QSize(size, size));
        }
    }

    // Each program finds our libraries beside it through its RUNPATH, and each library its siblings; a
    // path into the build folder would let the tree run here and nowhere else.
    void libraryPaths_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("runpath");
        for (const QString& program : Programs)
            QTest::newRow(qPrintable(program)) << "bin/" + program << "$ORIGIN/../lib/tvwall";
        for (const QString& library : Libraries)
            QTest::newRow(qPrintable(library)) << "lib/tvwall/lib" + library + ".so"
                                               << "$ORIGIN";
    }
    void libraryPaths()
    {
        QFETCH(QString, file);
        QFETCH(QString, runpath);
        const Run dynamic = run(QStringLiteral("readelf"), {"-d", tree("usr") + "/" + file});
        QCOMPARE(dynamic.exitCode, 0);
        static const QRegularExpression tag(
            QStringLiteral(R"(\((RUNPATH|RPATH)\)\s+Library (?:runpath|rpath): \[([^\]]*)\])"));
        QStringList paths;
        for (auto it = tag.globalMatch(QString::fromLocal8Bit(dynamic.out)); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            paths << m.captured(1) + " " + m.captured(2);
        }
        QCOMPARE(paths, QStringList{"RUNPATH " + runpath});

        // What the loader makes of it: every library of ours comes from the tree itself.
        const Run loaded = run(QStringLiteral("ldd"), {tree("moved") + "/" + file});
        QCOMPARE(loaded.exitCode, 0);
        for (const QString& library : Libraries) {
            const QRegularExpression line("lib" + library + R"(\.so => (\S+))");
            const QRegularExpressionMatch m = line.match(QString::fromLocal8Bit(loaded.out));
            if (m.hasMatch())
                QCOMPARE(QFileInfo(m.captured(1)).canonicalPath(),
                         QFileInfo(tree("moved") + "/lib/tvwall").canonicalFilePath());
        }
        QVERIFY2(!loaded.out.contains("not found"), loaded.out.constData());
    }

    // The page, rendered by the installed application in each language it has, is the very page the
    // build shows. A missing library stops it before it draws anything; missing translations make it
    // refuse the language; missing images or texts show as a difference.
    void showsThePage_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::newRow("/usr") << "usr";
        QTest::newRow("/opt/tvwall") << "opt/tvwall";
        QTest::newRow("moved after installing") << "moved";
    }
    void showsThePage()
    {
        QFETCH(QString, prefix);
        QMap<QString, QImage> pages;
        for (const QString& language : {QStringLiteral("en"), QStringLiteral("zh_CN")}) {
            QTemporaryDir elsewhere;
            QTemporaryDir home;
            const Run shot =
                run(tree(prefix) + "/bin/tvwall", {"--lang", language, "--screenshot", "page.png"},
                    elsewhere.path(), home.path());
            QVERIFY2(shot.exitCode == 0, shot.out + shot.err);
            const QImage page(elsewhere.filePath("page.png"));
            QCOMPARE(page.size(), QSize(1280, 800));
            QVERIFY2(colours(page) > 100, "a page, not an empty window");
            QVERIFY2(page == builtPage(language), "the installed page differs from the build's");
            // The unrelated folder gets nothing but the picture; the lists went to the fresh home.
            QCOMPARE(QDir(elsewhere.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     QStringList{"page.png"});
            QVERIFY(QFileInfo(home.filePath(".local/share/tvwall/tvwall")).isDir());
            pages.insert(language, page);
        }
        QVERIFY2(pages.value("en") != pages.value("zh_CN"), "the Chinese page is drawn in Chinese");
    }

    // Each program in a terminal. Help and version need no display, not even the application's.
    void commandLines_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("display"); // a (virtual) display to draw on
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("told"); // a line of what it writes, as a pattern
        QTest::newRow("help") << "tvwall" << QStringList{"--help"} << false << 0 << "^  --backend <NAME> ";
        QTest::newRow("version") << "tvwall" << QStringList{"--version"} << false << 0
                                 << "^tvwall " TVWALL_VERSION "$";
        // The list of languages is read from the installed translations.
        QTest::newRow("languages") << "tvwall" << QStringList{"--lang", "xx"} << true << 2
                                   << R"(available: en, zh_CN\))";
        QTest::newRow("daemon help") << "tvwall-decoderd" << QStringList{"--help"} << false << 0
                                     << "^  --discovery-port <PORT> ";
        QTest::newRow("daemon version") << "tvwall-decoderd" << QStringList{"--version"} << false << 0
                                        << "^tvwall-decoderd " TVWALL_VERSION "$";
        // Written into the folder it was started in.
        QTest::newRow("firmware image")
            << "tvwall-mkfirmware" << QStringList{"TVD-04", "V2.0", "fw.bin"} << false << 0 << QString();
        QTest::newRow("firmware, no output named")
            << "tvwall-mkfirmware" << QStringList{"TVD-04"} << false << 2
            << R"(^Usage: \S*/tvwall-mkfirmware \[options\] MODEL VERSION OUTPUT$)";
    }
    void commandLines()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(bool, display);
        QFETCH(int, exitCode);
        QFETCH(QString, told);
        QTemporaryDir elsewhere;
        QTemporaryDir home;
        const Run ran =
            run(tree("opt/tvwall") + "/bin/" + program, arguments, elsewhere.path(), home.path(), display);
        const QString said = QString::fromLocal8Bit(ran.out + ran.err);
        QVERIFY2(ran.exitCode == exitCode, qPrintable(said));
        if (!told.isEmpty()) {
            const QRegularExpression line(told, QRegularExpression::MultilineOption);
            QVERIFY2(line.match(said).hasMatch(), qPrintable(said));
        }
        if (arguments.contains("fw.bin"))
            QVERIFY(QFileInfo(elsewhere.filePath("fw.bin")).size() > 64 * 1024);
    }

private:
    QString tree(const QString& prefix) const { return root.filePath(prefix); }

    /** The page as the build's own program renders it in language, under the same conditions. */
    QImage builtPage(const QString& language)
    {
        if (!builtPages.contains(language)) {
            QTemporaryDir elsewhere;
            QTemporaryDir home;
            const Run shot = run(TVWALL_APP_FILE, {"--lang", language, "--screenshot", "page.png"},
                                 elsewhere.path(), home.path());
            if (shot.exitCode == 0)
                builtPages.insert(language, QImage(elsewhere.filePath("page.png")));
        }
        return builtPages.value(language);
    }
    QMap<QString, QImage> builtPages;

    /** Runs program to its end; with a home, as an operator would: in folder, with that home and no
     * path to our libraries or data, and with the offscreen platform as its display or none. */
    static Run run(const QString& program, const QStringList& arguments, const QString& folder = QString(),
                   const QString& home = QString(), bool display = true)
    {
        QProcess process;
        if (!home.isEmpty()) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            for (const QString& name : env.keys()) {
                if (name.startsWith("TVWALL_") || name.startsWith("XDG_") || name == "LD_LIBRARY_PATH")
                    env.remove(name);
            }
            env.insert("HOME", home);
            env.remove("DISPLAY");
            env.remove("WAYLAND_DISPLAY");
            if (display)
                env.insert("QT_QPA_PLATFORM", "offscreen");
            else
                env.remove("QT_QPA_PLATFORM");
            env.insert("LANG", "C.UTF-8");
            process.setProcessEnvironment(env);
            process.setWorkingDirectory(folder);
        }
        process.start(program, arguments);
        Run result;
        if (!process.waitForFinished(90000) || process.exitStatus() != QProcess::NormalExit) {
            process.kill();
            process.waitForFinished();
            result.err = "did not end normally: " + program.toLocal8Bit() + "\n";
        } else {
            result.exitCode = process.exitCode();
        }
        result.out = process.readAllStandardOutput();
        result.err += process.readAllStandardError();
        return result;
    }

    static int colours(const QImage& image)
    {
        QSet<QRgb> seen;
        for (int y = 0; y < image.height(); y += 2) {
            for (int x = 0; x < image.width(); x += 2)
                seen.insert(image.pixel(x, y));
        }
        return seen.size();
    }
};

QTEST_GUILESS_MAIN(TestInstalledTree)
#include "tst_installedtree.moc"
