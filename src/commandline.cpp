#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

namespace
{
void Add_Options(QCommandLineParser* parser)
{
    parser->setApplicationDescription(
        "Keeps the temperature log of a measuring set-up, with each reading corrected by the calibration "
        "of its thermometer.");
    // Not addHelpOption: its --help-all promises the toolkit's options, which only a display lists.
    parser->addOption(QCommandLineOption({"h", "help"}, "Displays help on commandline options."));
    parser->addVersionOption();
}
} // namespace

void Answer_Help_Or_Version(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
    {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    QCommandLineParser parser;
    Add_Options(&parser);
    // The toolkit's own options are still among the arguments here: they are judged after the
    // application object has taken them.
    parser.parse(arguments);
    if (!parser.isSet("version") && !parser.isSet("help"))
    {
        return;
    }
    // The parser names the program from the application object; a core one needs no display.
    QCoreApplication application(argc, argv);
    if (parser.isSet("version"))
    {
        parser.showVersion();
    }
    parser.showHelp();
}

bool Check_Arguments(const QStringList& arguments, QString* error)
{
    Q_ASSERT_X(error != nullptr, "Check_Arguments", "error");
    QCommandLineParser parser;
    Add_Options(&parser);
    if (!parser.parse(arguments))
    {
        *error = parser.errorText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty())
    {
        *error = QString("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
        return false;
    }
    return true;
}
