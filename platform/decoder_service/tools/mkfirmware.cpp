// Makes a firmware image the simulated decoders accept, for trying upgrades by hand.

#include "atomicfile.h"
#include "firmwareimage.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using namespace pral_matrix;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tvwall-mkfirmware"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TVWALL_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes to OUTPUT a decoder firmware image for MODEL (e.g. TVD-04) that installs VERSION."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("MODEL"),
                                 QStringLiteral("Decoder model, as in the fleet file."));
    parser.addPositionalArgument(QStringLiteral("VERSION"),
                                 QStringLiteral("Firmware version the image installs."));
    parser.addPositionalArgument(QStringLiteral("OUTPUT"), QStringLiteral("File to write."));
    const QCommandLineOption payloadOption(
        QStringLiteral("payload"), QStringLiteral("Take the payload from FILE (default: 64 KiB of filler)."),
        QStringLiteral("FILE"));
    parser.addOption(payloadOption);
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() != 3)
        parser.showHelp(2);

    QByteArray payload;
    if (parser.isSet(payloadOption)) {
        QFile file(parser.value(payloadOption));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
            return 1;
        }
        payload = file.readAll();
    } else {
        for (int i = 0; i < 64 * 1024; ++i)
            payload.append(char(i * 31 % 251));
    }
    const QByteArray image = FirmwareImage::build(args.at(0), args.at(1), payload);
    if (image.isEmpty()) {
        std::fprintf(stderr, "model and version must be 1 to %d Latin-1 characters\n",
                     FirmwareImage::MaxTextLength);
        return 2;
    }
    if (!AtomicFile::write(args.at(2), image)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
