#include "cli/ManPage.h"

#include "app/WizardOptions.h"
#include "cli/CliHelp.h"

#include <QRegularExpression>
#include <QStringList>

#include <cstring>

namespace {

// Roff text for plain characters. A dash that starts a word ("--size", "-5") is a minus, so that
// it can be copied into a shell; other dashes stay hyphens.
QString Escape(const QString& text, bool allDashesAreMinus = false) {
    QString out;
    char32_t previous = U' ';
    for (const char32_t c : text.toUcs4()) {
        const bool wordStart = previous < 0x80 && std::strchr(" \t-([|\"", int(previous)) != nullptr;
        if (c == U'\\') {
            out += QStringLiteral("\\e");
        } else if (c == U'-' && (allDashesAreMinus || wordStart)) {
            out += QStringLiteral("\\-");
        } else if (c > 0x7e || (c < 0x20 && c != U'\t')) {
            out += QStringLiteral("\\[u%1]").arg(QString::number(uint(c), 16).toUpper().rightJustified(4, u'0'));
        } else {
            out += QChar(char16_t(c));
        }
        previous = c;
    }
    return out;
}

// Inline Markdown as roff: `code` in bold, **strong** in bold, *emphasis* and _emphasis_ in italics,
// [text](link) as its text, images dropped.
QString Inline(const QString& text) {
    static const QRegularExpression span(QStringLiteral(
        R"(`([^`]+)`|!\[[^\]]*\]\([^)]*\)|\[([^\]]*)\]\([^)]*\)|\*\*([^*]+)\*\*|\*([^*\s][^*]*)\*|\b_([^_]+)_\b)"));
    QString out;
    qsizetype done = 0;
    for (auto it = span.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += Escape(text.mid(done, m.capturedStart() - done));
        if (m.capturedLength(1) > 0) {
            out += QStringLiteral("\\fB") + Escape(m.captured(1), true) + QStringLiteral("\\fR");
        } else if (m.capturedStart(2) >= 0) {
            out += Inline(m.captured(2));
        } else if (m.capturedLength(3) > 0) {
            out += QStringLiteral("\\fB") + Inline(m.captured(3)) + QStringLiteral("\\fR");
        } else if (m.capturedLength(4) > 0 || m.capturedLength(5) > 0) {
            out += QStringLiteral("\\fI") + Inline(m.captured(4) + m.captured(5)) + QStringLiteral("\\fR");
        }
        done = m.capturedEnd();
    }
    return out + Escape(text.mid(done));
}

// A line of roff text; one that would start with a control character is guarded.
QString TextLine(const QString& roff) {
    if (roff.startsWith(u'.') || roff.startsWith(u'\'')) {
        return QStringLiteral("\\&") + roff + u'\n';
    }
    return roff + u'\n';
}

qsizetype Indent(const QString& line) {
    qsizetype n = 0;
    while (n < line.size() && line[n] == u' ') {
        ++n;
    }
    return n;
}

QStringList TableCells(const QString& row) {
    QString inner = row.trimmed();
    if (inner.startsWith(u'|')) {
        inner.remove(0, 1);
    }
    if (inner.endsWith(u'|')) {
        inner.chop(1);
    }
    QStringList cells;
    for (const QString& cell : inner.split(u'|')) {
        cells.append(cell.trimmed());
    }
    return cells;
}

QString Preformatted(const QStringList& lines) {
    QString out = QStringLiteral(".PP\n.RS 4\n.nf\n");
    for (const QString& line : lines) {
        out += TextLine(Escape(line, true));
    }
    return out + QStringLiteral(".fi\n.RE\n");
}

QString ManHeader(const QString& name, const QString& version) {
    return QStringLiteral(".TH %1 1 \"\" \"VornetAd %2\" \"User Commands\"\n").arg(name.toUpper(), version);
}

QString Option(const QString& name, const QString& value, const QString& help) {
    QString term = QStringLiteral("\\fB") + Escape(name, true) + QStringLiteral("\\fR");
    if (!value.isEmpty()) {
        term += QStringLiteral(" \\fI") + Escape(value, true) + QStringLiteral("\\fR");
    }
    return QStringLiteral(".TP\n") + term + u'\n' + TextLine(Escape(help));
}

}  // namespace

QString MarkdownSection(const QString& markdown, const QString& heading) {
    static const QRegularExpression headingLine(QStringLiteral("^(#{1,6})\\s+(.*?)\\s*#*\\s*$"));
    const QStringList lines = markdown.split(u'\n');
    qsizetype level = 0;
    QStringList body;
    bool inFence = false;
    for (const QString& line : lines) {
        if (line.trimmed().startsWith(QStringLiteral("```"))) {
            inFence = !inFence;
        }
        const QRegularExpressionMatch m = inFence ? QRegularExpressionMatch() : headingLine.match(line);
        if (m.hasMatch()) {
            const qsizetype thisLevel = m.capturedLength(1);
            if (level > 0 && thisLevel <= level) {
                break;
            }
            if (level == 0 && m.captured(2).compare(heading, Qt::CaseInsensitive) == 0) {
                level = thisLevel;
                continue;
            }
        }
        if (level > 0) {
            body.append(line);
        }
    }
    if (level == 0) {
        return {};
    }
    return body.join(u'\n').trimmed() + u'\n';
}

QString MarkdownIntro(const QString& markdown) {
    QStringList body;
    bool inTitle = false;
    for (const QString& line : markdown.split(u'\n')) {
        if (line.startsWith(QStringLiteral("# "))) {
            inTitle = true;
            continue;
        }
        if (line.startsWith(u'#')) {
            if (inTitle) {
                break;
            }
            continue;
        }
        if (inTitle) {
            body.append(line);
        }
    }
    return body.join(u'\n').trimmed() + u'\n';
}

QString MarkdownToRoff(const QString& markdown) {
    static const QRegularExpression bullet(QStringLiteral("^\\s{0,3}[-*+]\\s+(.*)$"));
    static const QRegularExpression numbered(QStringLiteral("^\\s{0,3}(\\d+)[.)]\\s+(.*)$"));
    static const QRegularExpression heading(QStringLiteral("^#{1,6}\\s+(.*?)\\s*#*\\s*$"));
    // A picture on a line of its own, in Markdown or as an HTML tag (which can give its width).
    static const QRegularExpression image(QStringLiteral("^\\s*(!\\[[^\\]]*\\]\\([^)]*\\)|<img\\b[^>]*>)\\s*$"));
    static const QRegularExpression tableRule(QStringLiteral("^\\s*\\|?\\s*:?-+:?\\s*(\\|\\s*:?-+:?\\s*)*\\|?\\s*$"));

    const QStringList lines = markdown.split(u'\n');
    QString out;
    QString paragraph;  // Markdown text of the paragraph or list item being read
    QString opener;     // the request that starts it
    bool inList = false;
    auto flush = [&]() {
        if (!paragraph.isEmpty()) {
            out += opener + TextLine(Inline(paragraph.trimmed()));
        }
        paragraph.clear();
    };
    auto startBlock = [&](const QString& request) {
        flush();
        opener = request;
    };

    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i];
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty()) {
            flush();
            opener = inList ? QStringLiteral(".IP\n") : QStringLiteral(".PP\n");
            continue;
        }
        if (trimmed.startsWith(QStringLiteral("```"))) {
            flush();
            QStringList code;
            for (++i; i < lines.size() && !lines[i].trimmed().startsWith(QStringLiteral("```")); ++i) {
                code.append(lines[i]);
            }
            out += Preformatted(code);
            continue;
        }
        if (Indent(line) >= 4 && paragraph.isEmpty()) {
            QStringList code;
            for (; i < lines.size() && (Indent(lines[i]) >= 4 || lines[i].trimmed().isEmpty()); ++i) {
                code.append(lines[i].mid(4));
            }
            while (!code.isEmpty() && code.constLast().trimmed().isEmpty()) {
                code.removeLast();
            }
            --i;
            out += Preformatted(code);
            inList = false;
            opener = QStringLiteral(".PP\n");
            continue;
        }
        if (image.match(line).hasMatch()) {
            continue;
        }
        if (const auto m = heading.match(line); m.hasMatch()) {
            flush();
            out += QStringLiteral(".SS \"") + Escape(m.captured(1)).replace(u'"', QStringLiteral("\\(dq")) +
                   QStringLiteral("\"\n");
            inList = false;
            opener.clear();
            continue;
        }
        if (trimmed.startsWith(u'|')) {
            flush();
            QStringList header = TableCells(line);
            for (++i; i < lines.size() && lines[i].trimmed().startsWith(u'|'); ++i) {
                if (tableRule.match(lines[i]).hasMatch()) {
                    continue;
                }
                const QStringList cells = TableCells(lines[i]);
                QStringList rest;
                for (qsizetype c = 1; c < cells.size(); ++c) {
                    const QString label = c < header.size() ? header[c] : QString();
                    rest.append(label.isEmpty() ? cells[c] : label + QStringLiteral(": ") + cells[c]);
                }
                out += QStringLiteral(".TP\n") + TextLine(Inline(cells.value(0))) +
                       TextLine(Inline(rest.join(QStringLiteral("; "))));
            }
            --i;
            opener = QStringLiteral(".PP\n");
            inList = false;
            continue;
        }
        if (const auto m = bullet.match(line); m.hasMatch()) {
            startBlock(QStringLiteral(".IP \\(bu 2\n"));
            inList = true;
            paragraph = m.captured(1);
            continue;
        }
        if (const auto m = numbered.match(line); m.hasMatch()) {
            startBlock(QStringLiteral(".IP %1. 4\n").arg(m.captured(1)));
            inList = true;
            paragraph = m.captured(2);
            continue;
        }
        if (Indent(line) == 0 && paragraph.isEmpty() && inList) {
            // Text that starts at the margin after a blank line ends the list.
            inList = false;
            opener = QStringLiteral(".PP\n");
        }
        paragraph += u' ' + trimmed;
    }
    flush();
    return out;
}

QString CliManPage(const QString& version, const std::vector<ManSection>& sections) {
    const QString program = QStringLiteral("vornetad-cli");
    QString page = ManHeader(program, version);
    page += QStringLiteral(".SH NAME\n"
                           "vornetad\\-cli \\- make corner banner adverts and their HTML code without a window\n"
                           ".SH SYNOPSIS\n"
                           ".nh\n"
                           ".ad l\n"
                           ".in +4\n");
    const std::vector<DocumentedCommand> commands = DocumentedCommands();
    for (const DocumentedCommand& command : commands) {
        for (const QString& synopsis : command.synopses) {
            // A long synopsis wraps with a hanging indent.
            page +=
                QStringLiteral(".ti -4\n\\fBvornetad\\-cli %1\\fR %2\n.br\n").arg(command.name, Escape(synopsis, true));
        }
    }
    page += QStringLiteral(".ti -4\n"
                           "\\fBvornetad\\-cli \\-\\-help\\fR | \\fB\\-\\-version\\fR\n"
                           ".in -4\n"
                           ".ad\n"
                           ".hy\n"
                           ".SH DESCRIPTION\n"
                           "\\fBvornetad\\-cli\\fR runs the engine of the \\fBvornetad\\fR(1) wizard without a "
                           "window, for scripts and continuous integration. For the same settings it writes the "
                           "same bytes as the wizard. It needs no display.\n"
                           ".PP\n"
                           "BANNER\\-OPTIONS and AD\\-OPTIONS stand for the banner options and advert options "
                           "below. Each option not given keeps the wizard's default. A value follows its option "
                           "as the next word or after \"=\" (\\-\\-size=200). \\fB\\-h\\fR is \\fB\\-\\-help\\fR. "
                           "After \\fB\\-\\-\\fR, every word given to \\fBremove\\fR or \\fBtemplates\\fR is a "
                           "page or a folder.\n"
                           ".SH COMMANDS\n");
    for (const DocumentedCommand& command : commands) {
        page += QStringLiteral(".TP\n\\fB%1\\fR\n").arg(command.name) + TextLine(Escape(command.summary));
    }
    page += QStringLiteral(".SH OPTIONS\n");
    QString group;
    for (const DocumentedOption& option : HelpOptions()) {
        if (option.group != group) {
            group = option.group;
            page += QStringLiteral(".SS \"%1\"\n").arg(Escape(group));
        }
        page += Option(option.name, option.doc.valueName, option.doc.help);
    }
    page += QStringLiteral(".SS \"Template styles\"\n"
                           "The styles \\fBmake\\-template \\-\\-style\\fR draws, each with its colours in "
                           "\\fB\\-\\-color\\fR order and their defaults.\n");
    for (const StyleDoc& style : TemplateStyleDocs()) {
        page += QStringLiteral(".TP\n\\fB%1\\fR\n").arg(Escape(style.name)) + TextLine(Escape(style.text));
    }
    page += QStringLiteral(".SS \"Other options\"\n") +
            Option(QStringLiteral("--help"), {}, QStringLiteral("print a summary of the commands and options")) +
            Option(QStringLiteral("--version"), {}, QStringLiteral("print the program's version"));
    page += QStringLiteral(".SH \"EXIT STATUS\"\n");
    for (const ExitCode& status : ExitCodes()) {
        page += QStringLiteral(".TP\n%1\n").arg(status.code) + TextLine(Escape(status.meaning));
    }
    for (const ManSection& section : sections) {
        page += QStringLiteral(".SH \"%1\"\n").arg(Escape(section.title)) + MarkdownToRoff(section.markdown);
    }
    page += QStringLiteral(".SH \"SEE ALSO\"\n\\fBvornetad\\fR(1)\n");
    return page;
}

QString WizardManPage(const QString& version, const QString& description) {
    QString page = ManHeader(QStringLiteral("vornetad"), version);
    page += QStringLiteral(".SH NAME\n"
                           "vornetad \\- make a corner banner advert for a web site in five steps\n"
                           ".SH SYNOPSIS\n"
                           "\\fBvornetad\\fR [\\fIOPTION\\fR]\n"
                           ".SH DESCRIPTION\n") +
            MarkdownToRoff(description) + QStringLiteral(".SH OPTIONS\n");
    for (const WizardOption& option : kWizardOptions) {
        page += Option(QLatin1String(option.name), {}, QLatin1String(option.help));
    }
    page += QStringLiteral(
        ".PP\nThe wizard also takes the options every Qt program takes, such as "
        "\\fB\\-platform\\fR \\fINAME\\fR, and the preview browser's switches after "
        "\\fB\\-\\-webEngineArgs\\fR; any other argument is refused, with exit status 2.\n"
        ".SH FILES\n"
        ".TP\n"
        "\\fIshare/vornetad/vornets/\\fR\n"
        "The shipped templates, in the installation's data folder "
        "(\\fI/usr/share/vornetad/vornets/\\fR for the package), or a \\fIvornets\\fR folder beside the program.\n"
        ".TP\n"
        "\\fI~/.local/share/vornetad/vornets/\\fR\n"
        "Your own templates (in \\fI$XDG_DATA_HOME\\fR when it is set), listed after the shipped ones: those made "
        "with \\fBNew template\\fR or \\fBvornetad\\-cli make\\-template\\fR, and pictures added with "
        "\\fBAdd template\\fR.\n"
        ".TP\n"
        "\\fIshare/vornetad/help/index.html\\fR\n"
        "The help page that the templates step links to.\n"
        ".TP\n"
        "\\fI$XDG_CONFIG_HOME/vornetad/last.vornetad\\fR\n"
        "The settings of the last generate run that wrote all its files (by default in "
        "\\fI~/.config/vornetad/\\fR), a design file (see "
        "\\fBvornetad\\-cli\\fR(1)); the wizard starts from it. One that cannot be read is renamed "
        "\\fIlast.vornetad.bad\\-\\fR\\fITIME\\fR and the wizard starts from the defaults.\n"
        ".TP\n"
        "\\fI$XDG_CONFIG_HOME/vornetad/runs/\\fR\n"
        "A design file for each run whose custom HTML may still stand in some of its pages, also one that "
        "stopped or failed part way, so that a later run with other custom HTML takes it out of them. Each goes "
        "once a later run has written all its pages.\n"
        ".SH \"SEE ALSO\"\n\\fBvornetad\\-cli\\fR(1)\n");
    return page;
}
