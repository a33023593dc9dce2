// The editor's command line: tovask [--simulate] [--fault=NAME] [FILE].
#pragma once

#include <QString>
#include <QStringList>

#include "sim/fault_switch.h"

struct EditorOptions {
    bool simulate = false;
    SimFaultSwitch fault;
    QString file;  // empty: a new template
};

struct CommandLineOutcome {
    int exitCode = -1;  // -1: start the editor; otherwise end with this code
    QString out;        // for standard output (--help, --version)
    QString err;        // for standard error (a usage error)
};

// Parses the arguments after the program name. Qt's own window-system options
// (-platform NAME, -style NAME, -reverse, ...) are left for QApplication.
CommandLineOutcome ParseEditorCommandLine(const QStringList& args, EditorOptions& options);
