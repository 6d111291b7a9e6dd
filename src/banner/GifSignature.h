#pragma once

#include <QByteArrayView>

// Whether a file's first bytes are a GIF's signature. Browsers draw only the two versions there
// are, and a file that merely begins "GIF" (a text about gifts) is none: its next bytes would be
// read as a screen of thousands of pixels.
inline bool HasGifSignature(QByteArrayView start) {
    return start.startsWith("GIF87a") || start.startsWith("GIF89a");
}

// Whether `start` is a GIF's signature as far as it goes: where it is too short to hold one, a file
// cut short rather than a file of another kind.
inline bool BeginsLikeGifSignature(QByteArrayView start) {
    return QByteArrayView("GIF87a").startsWith(start) || QByteArrayView("GIF89a").startsWith(start);
}

// What a file that ends within its signature, or soon after it, is told.
inline constexpr char kGifCutShort[] = "the file ends before its image does (truncated)";
