#pragma once

#include <QString>
#include <QStringList>

// The program's command line: --help, --version and --fresh. Qt's own
// options (-platform, -style, -display, …) are let through for QApplication.
struct CommandLine
{
    enum class Action { Run, ShowHelp, ShowVersion, Refuse };

    Action action = Action::Run;
    bool fresh = false; // start from the default settings and an empty list
    QString error;      // for Refuse: what was wrong, for the terminal

    // arguments: the whole argv, program name first. Needs no application object.
    static CommandLine parse(const QStringList &arguments);

    static QString helpText(const QString &programName);
    static QString versionText();
    // Writes text to stdout or stderr (toStderr) of the console the program
    // was started from. On Windows the program has no console of its own:
    // it attaches to its parent's, and the text goes out in UTF-16 so
    // Chinese shows whatever the console's code page.
    static void print(const QString &text, bool toStderr = false);
};
