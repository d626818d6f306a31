#pragma once

#include <QString>
#include <QStringList>

// The program's command line: --help, --version, --fresh and
// --import-report FILE. Qt's own
// options (-platform, -style, -display, …) are let through for QApplication.
struct CommandLine
{
    enum class Action { Run, ShowHelp, ShowVersion, ImportReport, Refuse };

    Action action = Action::Run;
    bool fresh = false; // start from the default settings and an empty list
    QString error;      // for Refuse: what was wrong, for the terminal
    QString rosterFile; // for ImportReport: the file to check

    // arguments: the whole argv, program name first. Needs no application object.
    static CommandLine parse(const QStringList &arguments);

    static QString helpText(const QString &programName);
    static QString versionText();
    // Checks a roster file as the import would and prints its report to
    // stdout, or the reason it is refused to stderr. Returns the exit
    // status: 0 for a file that would import, 1 otherwise.
    static int importReport(const QString &path);
    // Writes text to stdout or stderr (toStderr) of the console the program
    // was started from. On Windows the program has no console of its own:
    // it attaches to its parent's, and the text goes out in UTF-16 so
    // Chinese shows whatever the console's code page.
    static void print(const QString &text, bool toStderr = false);
};
