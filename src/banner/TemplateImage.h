#pragma once

#include "files/FileResult.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

// Largest template edge, in pixels. A few bytes of GIF can claim a screen or an image of 65535 x
// 65535 pixels; the sizes are checked from the descriptors, before any pixel memory is allocated.
inline constexpr int kMaxTemplateEdge = 4096;

// The most of a template file read: its first image, the template, has to end within it, and what
// follows that image is never read, so a long animation of any size is a template. Pixel data of
// 12-bit codes (the widest GIF has) takes at most 1.5 bytes a pixel, 25 MB for 4096 x 4096 pixels
// with the block lengths: every first image an encoder makes fits twice over. The cap bounds the
// time a hostile file can take; its bytes are streamed, never held in memory.
inline constexpr qint64 kMaxTemplateBytes = qint64(64) << 20;

// A decoded template, or why the file is not one.
struct [[nodiscard]] TemplateImage {
    QImage image;         // null when refused
    FileResult status;    // the file (no path when decoded from memory) and, when refused, why
    qint64 imageEnd = 0;  // how many of the file's bytes hold the template: its start to the first image's end
};

// Decodes the first image of a GIF strictly: refused unless the header, the descriptors, a colour
// table (global or the image's own) and the whole of the first image's pixel data are there and
// sound, the first image ends within the first kMaxTemplateBytes, and neither the screen nor the
// image, nor the screen grown to hold the image where it is placed, is larger than kMaxTemplateEdge.
// Nothing after the first image is read. The pixels are the logical screen as browsers show it:
// grown to hold the whole image where the header's is smaller, the image laid on it, see-through
// (alpha 0) where the image has its transparent colour and wherever it does not reach; an index
// past the colour table is opaque black, as browsers draw it (see-through when it is the
// transparent index). An image that covers the screen comes back indexed (8 bits a pixel, 256
// colours).
TemplateImage DecodeTemplate(QByteArrayView gif);

// The same for a template file, a regular file of any size of which no more than the first image is
// read: folders, pipes, devices and the like are refused without being opened for what they are.
TemplateImage LoadTemplateImage(const QString& path);

// LoadTemplateImage, where the template last read that way comes from memory while its file is
// unchanged (the same file, size and change time): the wizard's preview and its editor show the one
// template in turn, and a large one takes a tenth of a second to decode.
TemplateImage LoadKeptTemplateImage(const QString& path);

// The extent a template file claims, read without decoding it: what decoding it would cost. The
// logical screen in its header, grown to hold its first image (a screen of 0, or a smaller one,
// leaves decoding to the image's extent); the largest a GIF can claim where that image lies beyond
// the file's first 64 KiB. Empty when the file cannot be read as LoadTemplateImage reads it or does
// not start as a GIF does.
QSize TemplateScreenSize(const QString& path);

// The name of an image's twin drawn at twice the size: "@2x" before the file name's extension
// ("NAME.gif" gives "NAME@2x.gif", also within a path), or at its end when it has none.
QString At2xName(const QString& name);

// Where the companion of the template at `templatePath` is, there or not: its twin
// At2xName(templatePath), or, where none is there, the twin whose ".gif" is in other letters that
// is. Empty for no template.
QString CompanionPath(const QString& templatePath);

// The template a banner is drawn on and its 2x companion (there or not yet), which are the user's:
// written over, every later banner would be drawn on this one. Looked up once, for a run that
// writes an image into many folders.
class DrawnOn final {
public:
    DrawnOn() = default;  // no template
    explicit DrawnOn(const QString& templatePath);

    // Why writing a banner at `path` would write over the template or its companion: "is the
    // template the banner is drawn on; left as it is", or the same of the companion; empty where it
    // would not, or for no template. They meet by where each lands, through links on the way or at
    // the name, and by the file each is, where two names of it do not meet by their paths.
    QString WrittenOverBy(const QString& path) const;

private:
    struct File {
        QString path;  // whole
        QByteArray target;
        QByteArray identity;
        bool isTemplate = false;
    };
    QList<File> files;
};

// The companion of the template at `templatePath`: the file at CompanionPath decoded as a
// template, which a 2x banner is cut from instead of the template scaled up. A null image when
// there is none (nothing stands at that name), or when the file there is refused, with the reason:
// a file that is no sound template is no companion, and the user should hear why (CompanionNotUsed).
TemplateImage LoadCompanion(const QString& templatePath);
