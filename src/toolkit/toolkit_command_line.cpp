// The command line: daubix [options] [FILE]. Parsed before the platform's
// application object exists, so that --help and --version answer without a
// display.
#include <QCommandLineParser>
#include <QFileInfo>
#include <QStringList>

#include "core/version.h"
#include "toolkit/toolkit_qt.h"

namespace {

// Options the platform's application object takes itself (with a value, then
// without): let through for it, and left out of the help.
const char* const kPlatformOptionsWithValue[] = {"platform",
                                                 "platformpluginpath",
                                                 "platformtheme",
                                                 "plugin",
                                                 "qwindowgeometry",
                                                 "qwindowicon",
                                                 "qwindowtitle",
                                                 "display",
                                                 "geometry",
                                                 "title",
                                                 "icon",
                                                 "style",
                                                 "stylesheet",
                                                 "session"};
const char* const kPlatformFlags[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};

const char kHelp[] =
    "Usage: %1 [options] [FILE]\n"
    "Daubix, a small painting program: paint with the mouse or a pen, open and save\n"
    "BMP pictures.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Show this help and exit.\n"
    "  -v, --version  Show the version and exit.\n"
    "\n"
    "Arguments:\n"
    "  FILE           A BMP picture to open at start (the first, when several are\n"
    "                 given).\n";

QString ProgramName(int argc, const char* const* argv) {
  const QString name =
      argc > 0 && argv[0] ? QFileInfo(QString::fromLocal8Bit(argv[0])).fileName() : QString();
  return name.isEmpty() ? QStringLiteral("daubix") : name;
}

void AddPlatformOption(QCommandLineParser& parser, const char* name, const QString& valueName) {
  QCommandLineOption option(QString::fromLatin1(name));
  option.setValueName(valueName);
  parser.addOption(option);
}

TCommandLine Finish(int code, const QString& message) {
  TCommandLine result;
  result.ExitCode = code;
  result.Message = ToStdString(message);
  return result;
}

}  // namespace

TCommandLine ParseCommandLine(int argc, const char* const* argv) {
  const QString program = ProgramName(argc, argv);
  QCommandLineParser parser;
  // "-platform xcb" as every Qt program takes it, rather than -p -l -a ...
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
  parser.addOption(help);
  parser.addOption(version);
  for (const char* name : kPlatformOptionsWithValue) AddPlatformOption(parser, name, QStringLiteral("value"));
  for (const char* name : kPlatformFlags) AddPlatformOption(parser, name, QString());

  QStringList args;
  for (int i = 0; i < argc; ++i) args.append(QString::fromLocal8Bit(argv[i]));
  if (args.isEmpty()) args.append(program);
  const bool parsed = parser.parse(args);
  // Help and version answer even beside a mistake, as users expect of --help.
  if (parser.isSet(help)) return Finish(0, QString::fromLatin1(kHelp).arg(program));
  if (parser.isSet(version))
    return Finish(0, program + QLatin1Char(' ') + QStringLiteral(DAUBIX_VERSION) + '\n');
  // The messages are the program's own, in English as on any terminal,
  // whatever translations the toolkit has loaded.
  const QString tryHelp = QStringLiteral("Try '%1 --help' for more information.\n").arg(program);
  if (!parsed) {
    const QStringList unknown = parser.unknownOptionNames();
    const QString what =
        unknown.isEmpty() ? parser.errorText() : QStringLiteral("Unknown option '%1'.").arg(unknown.first());
    return Finish(2, program + QStringLiteral(": ") + what + '\n' + tryHelp);
  }
  const QStringList files = parser.positionalArguments();
  TCommandLine result;
  // A file manager's "Open with" passes every selected file: the first is
  // opened, as a single-picture program can, and the rest are named as left.
  if (files.size() > 1)
    result.Message = ToStdString(program + QStringLiteral(": one picture is opened at a time; not opened: ") +
                                 files.mid(1).join(QStringLiteral(", ")) + '\n');
  // Absolute, as the open dialog gives it: messages name the file in full.
  if (!files.isEmpty() && !files.first().isEmpty())
    result.PictureFile = ToStdString(QFileInfo(files.first()).absoluteFilePath());
  return result;
}
