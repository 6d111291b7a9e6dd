// vornetad-docs: writes the man pages of both programs, the bash completion and the package's
// changelog, made from the command line's tables, the project's Markdown documentation and the
// AppStream release entries. The build runs it; it is not installed.
#include "cli/BashCompletion.h"
#include "cli/Changelog.h"
#include "cli/ManPage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

namespace {

// A man page section, taken from a file of its own in docs/ when there is one, else from the
// README section under one of the headings. Documentation moves between the two as it grows, so
// a section found in neither is left out rather than failing the build.
struct SectionSource {
    const char* title;
    const char* docFile;
    std::initializer_list<const char*> readmeHeadings;
};

const SectionSource kCliSections[] = {
    {"THE DESIGN FILE", "design-file.md", {"The design file", "Design file", "Design files"}},
    {"LIFE OF AN ADVERT", "life-of-an-advert.md", {"Life of an advert"}},
    {"HOW PAGES ARE TREATED", "page-treatment.md", {"How your pages are treated"}},
    {"YOUR OWN TEMPLATES", "own-templates.md", {"Your own templates"}},
};

bool ReadText(const QString& path, QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    text = QString::fromUtf8(file.readAll());
    return true;
}

// A document without its "# Title" line.
QString WithoutTitle(const QString& markdown) {
    QString body = markdown.trimmed();
    if (body.startsWith(QStringLiteral("# "))) {
        const qsizetype end = body.indexOf(u'\n');
        body = end < 0 ? QString() : body.mid(end + 1);
    }
    return body;
}

bool Write(const QString& path, const QString& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        std::fprintf(stderr, "vornetad-docs: cannot write %s: %s\n", qUtf8Printable(path),
                     qUtf8Printable(file.errorString()));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 7) {
        std::fprintf(stderr, "usage: vornetad-docs OUTPUT-FOLDER VERSION README DOCS-FOLDER METAINFO MAINTAINER\n");
        return 2;
    }
    const QDir out(args[1]);
    const QString& version = args[2];
    const QDir docs(args[4]);
    QString readme;
    QString metainfo;
    for (const auto& [path, text] : {std::pair{args[3], &readme}, std::pair{args[5], &metainfo}}) {
        if (!ReadText(path, *text)) {
            std::fprintf(stderr, "vornetad-docs: cannot read %s\n", qUtf8Printable(path));
            return 1;
        }
    }

    std::vector<ManSection> sections;
    for (const SectionSource& source : kCliSections) {
        QString body;
        if (ReadText(docs.filePath(QLatin1String(source.docFile)), body)) {
            body = WithoutTitle(body);
        } else {
            for (const char* heading : source.readmeHeadings) {
                if (body.isNull()) {
                    body = MarkdownSection(readme, QLatin1String(heading));
                }
            }
        }
        if (!body.isNull()) {
            sections.push_back({QLatin1String(source.title), body});
        }
    }

    const ChangelogResult changelog = DebianChangelog(metainfo.toUtf8(), QStringLiteral("vornetad"), version, args[6]);
    if (!changelog.error.isEmpty()) {
        std::fprintf(stderr, "vornetad-docs: %s: %s\n", qUtf8Printable(args[5]), qUtf8Printable(changelog.error));
        return 1;
    }

    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "vornetad-docs: cannot make %s\n", qUtf8Printable(out.path()));
        return 1;
    }
    bool ok = Write(out.filePath(QStringLiteral("vornetad-cli.1")), CliManPage(version, sections));
    ok &= Write(out.filePath(QStringLiteral("vornetad.1")), WizardManPage(version, MarkdownIntro(readme)));
    ok &= Write(out.filePath(QStringLiteral("vornetad-cli")), BashCompletion());
    ok &= Write(out.filePath(QStringLiteral("changelog")), changelog.text);
    return ok ? 0 : 1;
}
