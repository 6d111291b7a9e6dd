#include "controls/PathFields.h"

#include "files/FileNames.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>

namespace {

bool IsLineBreak(QChar c) {
    return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

// Takes drops of URLs for a path field; see TakePathDrops.
class PathDrops final : public QObject {
    Q_DISABLE_COPY_MOVE(PathDrops)

public:
    explicit PathDrops(QLineEdit& field)
        : QObject(&field)
        , field(field) {}

    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
            return false;
        }
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasUrls()) {
            return false;
        }
        const QList<QUrl> urls = drop->mimeData()->urls();
        const std::optional<FileResult> path = urls.size() == 1 ? LocalPath(urls.constFirst()) : std::nullopt;
        // Taken as a copy, whatever the source proposes: a move would let a file manager remove the
        // file once it is dropped.
        if (!path || !path->Ok() || field.isReadOnly() || !drop->possibleActions().testFlag(Qt::CopyAction)) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (type == QEvent::Drop) {
            field.selectAll();
            field.insert(path->path);
        }
        return true;
    }

private:
    QLineEdit& field;
};

}  // namespace

std::optional<FileResult> LocalPath(const QUrl& url) {
    if (!url.isValid() || !url.isLocalFile() || url.hasQuery() || url.hasFragment() ||
        !(url.host().isEmpty() || url.host() == u"localhost")) {
        return std::nullopt;
    }
    QUrl here = url;
    here.setHost({});
    const QString path = here.toLocalFile();
    if (!QDir::isAbsolutePath(path)) {
        return std::nullopt;
    }
    // The URL's escapes stand for the name's bytes; Qt decodes them as UTF-8 and puts U+FFFD for
    // bytes that are not, which gives the name of another file.
    const QByteArray name = QByteArray::fromPercentEncoding(here.path(QUrl::FullyEncoded).toLatin1());
    if (!Utf8Text(name)) {
        return FileResult::Failure(
            url.toString(), QStringLiteral("it names \"%1\", which is not valid UTF-8 text").arg(PrintableName(name)));
    }
    return FileResult::Success(path);
}

FileResult FieldPath(const QString& text, const QDir& folder) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsLineBreak(text[begin])) {
        ++begin;
    }
    while (end > begin && IsLineBreak(text[end - 1])) {
        --end;
    }
    const QString given = text.sliced(begin, end - begin);
    // One left inside (two lines pasted) would be part of the name, where the field shows a blank;
    // a name on disk is what it is.
    if (const QFileInfo named(folder, given);
        std::any_of(given.begin(), given.end(), IsLineBreak) && !named.exists() && !named.isSymLink()) {
        return FileResult::Failure(
            given,
            QStringLiteral("it holds a line break, which a field shows as a blank but would be part of the name"));
    }
    const std::optional<FileResult> local = LocalPath(QUrl(given));
    if (!local) {
        return FileResult::Success(given);
    }
    return local->Ok() ? *local : FileResult::Failure(given, local->error);
}

void TakePathDrops(QLineEdit& field) {
    field.installEventFilter(new PathDrops(field));
}
