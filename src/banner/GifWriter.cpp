#include "GifWriter.h"

// Placeholder until the GIF writer lands.
FileResult SaveAsGif(const QImage&, const QString& path)
{
    return FileResult::Failure(path, QStringLiteral("GIF export is not built yet"));
}
