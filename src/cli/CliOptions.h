#pragma once

#include "cli/CliContext.h"

#include <QCommandLineOption>
#include <QString>
#include <QStringList>

#include <variant>
#include <vector>

namespace lvx::cli {

// One option of linkvex-cli, declared once: its names and value, the CliContext field it
// fills, and its lines in the usage text.
struct CliOption {
    using Field =
        std::variant<bool CliContext::*, QString CliContext::*, QStringList CliContext::*>;

    QStringList names; // "port", or {"o", "output"}
    QString valueName; // empty for a flag
    Field field;       // a flag sets a bool, a value fills a text, a repeatable one a list
    QString synopsis;  // the left column of the usage ("--port PATH"); lines apart by '\n'
    QString text;      // what it does; lines apart by '\n'. Empty: shown with the one before

    QCommandLineOption option() const;
};

// Every option, in the order the usage lists them.
const std::vector<CliOption>& CliOptions();

// The "Options:" part of the usage: one entry per option that has a text, the description at
// column 30 (after three spaces when the left column is wider, on a line of its own when it
// has several lines).
QString OptionsUsage();

// Adds every option to the parser.
void AddCliOptions(QCommandLineParser& parser);
// Fills the context's option fields from a parser that parsed the command line.
void ReadCliOptions(const QCommandLineParser& parser, CliContext& context);

} // namespace lvx::cli
