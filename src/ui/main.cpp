#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tunescrib"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TUNESCRIB_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Melody scratchpad: play the two letter rows of the keyboard."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);
    return 0;
}
