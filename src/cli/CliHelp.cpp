#include "cli/CliHelp.h"

#include "design/HexColor.h"
#include "files/FileNames.h"
#include "templatemaker/TemplateMaker.h"

#include <QSet>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qsizetype kWidth = 79;

// `text` broken into lines of at most kWidth columns, the first line continuing after `indent`
// columns already taken and the others indented that far. A word longer than a line is kept whole.
QString Wrap(const QString& text, qsizetype indent) {
    QString out;
    qsizetype column = indent;
    bool first = true;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!first && column + 1 + word.size() > kWidth) {
            out += u'\n' + QString(indent, u' ');
            column = indent;
        } else if (!first) {
            out += u' ';
            ++column;
        }
        out += word;
        column += word.size();
        first = false;
    }
    return out;
}

// Two columns: a term, then its description wrapped beside it, or below it when the term is wide.
QString Row(const QString& term, const QString& description, qsizetype column) {
    QString row = QStringLiteral("  ") + term;
    if (row.size() + 2 > column) {
        row += u'\n' + QString(column, u' ');
    } else {
        row += QString(column - row.size(), u' ');
    }
    return row + Wrap(description, column) + u'\n';
}

}  // namespace

std::vector<ExitCode> ExitCodes() {
    return {
        {0, QStringLiteral("every file was written (a page without an advert needs no writing by remove)")},
        {1, QStringLiteral("one or more files failed; each is named on standard error with the reason, the others "
                           "were still written, and no file was damaged; or what the run printed could not be "
                           "written to standard output (a reader that stops reading early, as head does, is no "
                           "failure)")},
        {2, QStringLiteral("bad usage or a bad option value; nothing was written")},
        {130, QStringLiteral("interrupted by Ctrl+C (SIGINT), SIGTERM, a closed terminal (SIGHUP) or the soft limit "
                             "on processor time (SIGXCPU): the run stopped after the file in progress, so every file "
                             "is either as it was or completely written; a second signal, or Ctrl+\\ (SIGQUIT), "
                             "ends it at once, as that signal does (a status of 128 and its number), still without "
                             "leaving a temporary file, a set of files half new or a core file")},
    };
}

std::vector<StyleDoc> TemplateStyleDocs() {
    std::vector<StyleDoc> docs;
    for (const TemplateStyle& style : TemplateStyles()) {
        QStringList colors;
        for (qsizetype i = 0; i < style.colorNames.size(); ++i) {
            colors.append(QStringLiteral("%1 (%2)").arg(
                style.colorNames[i], WriteHexColor(style.defaultColors[i], HexNotation::CommandLine)));
        }
        docs.push_back(
            {style.name, style.description + QStringLiteral("; colours: ") + colors.join(QStringLiteral(", ")) +
                             (style.hasShadowlessVariant ? QStringLiteral("; with a shadowless variant") : QString())});
    }
    return docs;
}

std::vector<DocumentedOption> HelpOptions() {
    std::vector<DocumentedOption> options;
    QSet<QString> listed;
    for (DocumentedOption option : DocumentedOptions()) {
        if (!option.name.isEmpty() && option.name.back().isDigit()) {
            option.name.back() = u'N';
        }
        // The line options once each; a name that means another thing for another command, again.
        if (!listed.contains(option.group + option.name)) {
            listed.insert(option.group + option.name);
            options.push_back(std::move(option));
        }
    }
    // Keep each group together, in the order its first option appears.
    QStringList groups;
    for (const DocumentedOption& option : options) {
        if (!groups.contains(option.group)) {
            groups.append(option.group);
        }
    }
    std::stable_sort(options.begin(), options.end(), [&groups](const auto& a, const auto& b) {
        return groups.indexOf(a.group) < groups.indexOf(b.group);
    });
    return options;
}

QString OptionTerm(const DocumentedOption& option) {
    return option.doc.valueName.isEmpty() ? option.name : option.name + u' ' + option.doc.valueName;
}

QString UsageText() {
    const QString program = QStringLiteral("vornetad-cli");
    const std::vector<DocumentedCommand> commands = DocumentedCommands();
    qsizetype nameWidth = 0;
    for (const DocumentedCommand& command : commands) {
        nameWidth = std::max(nameWidth, command.name.size());
    }

    QString text = QStringLiteral("Usage:\n");
    for (const DocumentedCommand& command : commands) {
        for (const QString& synopsis : command.synopses) {
            text +=
                QStringLiteral("  ") + program + u' ' + command.name.leftJustified(nameWidth + 1) + synopsis + u'\n';
        }
    }
    text += QStringLiteral("  ") + program +
            QStringLiteral(
                " --help | --version\n\nA value follows its option as the next word or after \"=\" "
                "(--size=200);\n--help (or -h) after a command shows this help too; after \"--\", every word\ngiven to "
                "remove or templates is a page or a folder.\n\nCommands:\n");
    for (const DocumentedCommand& command : commands) {
        text += Row(command.name, command.summary, nameWidth + 5);
    }

    const std::vector<DocumentedOption> options = HelpOptions();
    QString group;
    for (const DocumentedOption& option : options) {
        if (option.group != group) {
            group = option.group;
            text += u'\n' + group + QStringLiteral(":\n");
        }
        text += Row(OptionTerm(option), option.doc.help, 24);
    }

    text += QStringLiteral("\nTemplate styles (make-template --style, colours in --color order with defaults):\n");
    for (const StyleDoc& style : TemplateStyleDocs()) {
        text += Row(style.name, style.text, 12);
    }

    text += QStringLiteral("\nExit status:\n");
    for (const ExitCode& status : ExitCodes()) {
        text += Row(QString::number(status.code), status.meaning, 7);
    }
    return text;
}

int UsageError(const QString& reason) {
    Refuse(reason);
    std::fputs("Try 'vornetad-cli --help'.\n", stderr);
    return 2;
}

int Refuse(const QString& reason) {
    std::fprintf(stderr, "vornetad-cli: %s\n", qUtf8Printable(PrintableText(reason)));
    return 2;
}
