#include "cli/Changelog.h"

#include <QDate>
#include <QLocale>
#include <QStringList>
#include <QXmlStreamReader>

namespace {

struct Release {
    QString version;
    QDate date;
    QStringList notes;
};

// `text` as changelog lines: "  * " then the text wrapped at 80 columns, continued under it.
QString Entry(const QString& text) {
    QString out = QStringLiteral("  *");
    qsizetype column = 3;
    for (const QString& word : text.simplified().split(u' ', Qt::SkipEmptyParts)) {
        if (column > 4 && column + 1 + word.size() > 80) {
            out += QStringLiteral("\n   ");
            column = 3;
        }
        out += u' ' + word;
        column += 1 + word.size();
    }
    return out + u'\n';
}

}  // namespace

ChangelogResult DebianChangelog(const QByteArray& metainfo, const QString& package, const QString& version,
                                const QString& maintainer) {
    std::vector<Release> releases;
    QXmlStreamReader xml(metainfo);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) {
            continue;
        }
        if (xml.name() == QLatin1String("release")) {
            const QXmlStreamAttributes attributes = xml.attributes();
            releases.push_back({attributes.value(QLatin1String("version")).toString(),
                                QDate::fromString(attributes.value(QLatin1String("date")).toString(), Qt::ISODate),
                                {}});
        } else if (!releases.empty() && (xml.name() == QLatin1String("p") || xml.name() == QLatin1String("li"))) {
            releases.back().notes.append(xml.readElementText(QXmlStreamReader::IncludeChildElements));
        }
    }
    if (xml.hasError()) {
        return {{}, QStringLiteral("the metainfo is not well-formed: %1").arg(xml.errorString())};
    }
    if (releases.empty() || releases.front().version != version) {
        return {{}, QStringLiteral("the metainfo's newest release is not %1; add a release entry for it").arg(version)};
    }

    QString text;
    for (const Release& release : releases) {
        if (!release.date.isValid()) {
            return {{}, QStringLiteral("release %1 has no valid date").arg(release.version)};
        }
        text += QStringLiteral("%1 (%2) unstable; urgency=medium\n\n").arg(package, release.version);
        for (const QString& note : release.notes) {
            text += Entry(note);
        }
        const QString date =
            QLocale::c().toString(release.date.startOfDay(Qt::UTC), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss"));
        text += QStringLiteral("\n -- %1  %2 +0000\n\n").arg(maintainer, date);
    }
    text.chop(1);
    return {text, {}};
}
