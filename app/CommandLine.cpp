#include "CommandLine.h"

#include "RosterFile.h"

#include <QCommandLineParser>

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#ifndef DRAW_VERSION
#define DRAW_VERSION "0"
#endif

namespace {

QCommandLineOption hidden(const QString &name, bool takesValue)
{
    QCommandLineOption option(name);
    if (takesValue)
        option.setValueName(QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}

// The argument as the user typed it, for an option name the parser reports bare.
QString asTyped(const QStringList &arguments, const QString &name)
{
    for (const QString &argument : arguments.mid(1)) {
        QString bare = argument.section(u'=', 0, 0);
        while (bare.startsWith(u'-'))
            bare.remove(0, 1);
        if (bare == name)
            return argument;
    }
    return name;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    // Qt's own options are single-dash words such as -platform.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption fresh(QStringLiteral("fresh"));
    const QCommandLineOption importReport(QStringLiteral("import-report"), QString(), QStringLiteral("file"));
    parser.addOptions({help, version, fresh, importReport});
    for (const char *name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger", "qwindowgeometry",
          "qwindowicon", "qwindowtitle", "session", "display", "geometry", "name", "style", "stylesheet"})
        parser.addOption(hidden(QString::fromLatin1(name), true));
    for (const char *name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
        parser.addOption(hidden(QString::fromLatin1(name), false));

    CommandLine out;
    if (!parser.parse(arguments)) {
        out.action = Action::Refuse;
        const QStringList unknown = parser.unknownOptionNames();
        out.error =
            unknown.isEmpty()
                ? QStringLiteral("选项有误 bad option: %1").arg(parser.errorText())
                : QStringLiteral("未知选项 unknown option: %1").arg(asTyped(arguments, unknown.constFirst()));
        return out;
    }
    if (!parser.positionalArguments().isEmpty()) {
        out.action = Action::Refuse;
        out.error = QStringLiteral("不需要参数 unexpected argument: %1")
                        .arg(parser.positionalArguments().constFirst());
        return out;
    }
    out.fresh = parser.isSet(fresh);
    if (parser.isSet(help))
        out.action = Action::ShowHelp;
    else if (parser.isSet(version))
        out.action = Action::ShowVersion;
    else if (parser.isSet(importReport)) {
        out.action = Action::ImportReport;
        out.rosterFile = parser.value(importReport);
    }
    return out;
}

QString CommandLine::helpText(const QString &programName)
{
    return QStringLiteral("用法 Usage: %1 [选项 options]\n"
                          "\n"
                          "星梭抽奖：现场抽奖程序。不带选项时打开设置窗口。\n"
                          "Prize draws for live events. Without options it opens the settings window.\n"
                          "\n"
                          "选项 Options:\n"
                          "  -h, --help     显示本帮助并退出\n"
                          "                 show this help and exit\n"
                          "  -v, --version  显示版本并退出\n"
                          "                 show the version and exit\n"
                          "  --fresh        以默认设置和空列表开始，不删除任何已保存的内容\n"
                          "                 start with the default settings and an empty list,\n"
                          "                 deleting nothing that was saved\n"
                          "  --import-report 文件\n"
                          "                 检查名单文件（.xlsx、.csv、.txt）能否导入：打印读入行数、\n"
                          "                 跳过的空行、重复工号、同名、最终人数和指纹，不打开窗口；\n"
                          "                 能导入时退出码为 0，否则打印原因，退出码为 1\n"
                          "                 check a roster file (.xlsx, .csv, .txt) without opening a\n"
                          "                 window: print its import report and exit 0, or print why\n"
                          "                 it cannot be imported and exit 1\n"
                          "\n"
                          "抽奖结果记在当前文件夹的 Result.txt 中。\n"
                          "Every result is appended to Result.txt in the current folder.\n")
        .arg(programName);
}

int CommandLine::importReport(const QString &path)
{
    const RosterFile::Check check = RosterFile::check(path);
    if (!check.lines.isEmpty())
        print(check.lines.join(u'\n') + u'\n');
    if (check.ok)
        return 0;
    print(QStringLiteral("xingsuo-draw: %1: 不能导入 cannot be imported: %2\n").arg(path, check.error), true);
    return 1;
}

QString CommandLine::versionText()
{
    return QStringLiteral("星梭抽奖 xingsuo-draw %1\n").arg(QLatin1String(DRAW_VERSION));
}

#ifdef Q_OS_WIN
void CommandLine::print(const QString &text, bool toStderr)
{
    const DWORD which = toStderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
    HANDLE out = GetStdHandle(which);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS))
            return; // started without a console (Explorer): nowhere to print
        out = GetStdHandle(which);
    }
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        const std::wstring wide = QString(text).replace(u'\n', QStringLiteral("\r\n")).toStdWString();
        WriteConsoleW(out, wide.c_str(), DWORD(wide.size()), &written, nullptr);
    } else { // redirected to a file or a pipe: UTF-8
        const QByteArray bytes = text.toUtf8();
        WriteFile(out, bytes.constData(), DWORD(bytes.size()), &written, nullptr);
    }
}
#else
void CommandLine::print(const QString &text, bool toStderr)
{
    std::fputs(text.toLocal8Bit().constData(), toStderr ? stderr : stdout);
}
#endif
