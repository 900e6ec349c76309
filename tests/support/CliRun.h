#pragma once

// Runs the command-line tool built beside the tests (TUNORVA_CLI) and keeps
// its exit code, standard output and standard error.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <string>

namespace testing_support {

struct CliRun {
    int exitCode = -1;  // -1: it crashed or did not end within a minute
    std::string out;
    std::string err;
};

inline CliRun RunCli(const QStringList& args,
                     const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TUNORVA_CLI), args);
    CliRun run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

inline QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

}  // namespace testing_support
