#pragma once

#include "banner/TemplateImage.h"
#include "files/FileResult.h"
#include "files/FolderLock.h"
#include "files/ReplaceFile.h"
#include "files/Result.h"
#include "output/CodeTexts.h"
#include "output/ServerCode.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// Pages are handled as bytes, never decoded, so they come back in their own encoding. Tags and
// comments are found the way a browser's parser finds them (HtmlScanner), so that a "</body>" in a
// comment, a script or an attribute value is not taken for the end of the body, nor a marker there
// for a block; in a page in ISO-2022-JP (PageCharset.h), nor bytes of its letters either. Every
// function here reads the page once (twice where browsers may read it two ways), in time linear in
// its size.

// The offset of the page's last closing body tag ("</body" in any letter case, with blanks or
// attributes before its '>'), or -1 when it has none.
qsizetype FindBodyEnd(const QByteArray& page);

// Where the code block goes: before the last closing body tag, else before the last closing html
// tag, else at the end of the text. Where that point lies inside an svg or math element, or where
// the end of the text leaves a comment, a tag or an element like <script> open, the block goes
// where that began instead: there it is read as HTML and changes how nothing after it is read. Text
// '<' characters right before that point stay after the block, which could otherwise never be
// taken out on its own again. In a page in ISO-2022-JP, tags are read between its letters only, so
// the point lies outside them, but where the page ends in letters (Inject refuses it then).
qsizetype InsertionPoint(const QByteArray& page);

// What earlier runs left in a page that no run takes out, so that every run leaves the page as it
// is and names it, and where: the user takes it out by hand.
struct Leftover {
    enum class Kind {
        None,
        // The advert's code without the markers of its block, which a minifier or a formatter takes
        // out with the page's other comments: the advert's own script before every block (any run),
        // or, in a page without blocks, an element of its names beside its image (a removal; a run
        // that puts the advert in refuses such a page by its names, FindAdvertNames). A new block
        // beside it would show a second banner, and a removal would leave it.
        UnmarkedScript,
        UnmarkedMarkup,
        LoneBegin,  // a begin marker without its end, after an edit: where its block ends cannot be told
        LoneEnd,    // an end marker without its begin
        Block,      // a block whose removal would change how the rest of the page reads (below)
        PageTags,   // a block holding tags of the page's own, which no run writes (a tool moved them in)
        // ISO-2022-JP text in a page that declares no charset browsers know, which they read in two
        // ways that differ in its blocks or the advert's place: what a run would do to it cannot be told
        Undeclared,
    };
    Kind kind = Kind::None;
    qsizetype line = 0;  // the line it begins on, from 1

    explicit operator bool() const { return kind != Kind::None; }
    // Why a page holding it is left as it is.
    QString Reason() const;
};

struct BlockRemoval {
    QByteArray page;
    bool removed = false;  // whether anything was taken out
    Leftover leftover;
};

// The page with what earlier runs wrote taken out, and nothing else:
// - every old block: a begin marker followed by an end marker with no begin marker between them,
//   once the blocks inside it have gone (so blocks nested in each other go together);
// - right after each (or after blanks, which go with it, the code's own leading blanks aside: a
//   formatter may have put it on a line of its own), the bytes that are `customCode`, so that
//   custom code is never doubled, or one of `earlierCustomCodes`, what runs with earlier settings
//   put there (the wizard's), so that changed custom code replaces the old; byte for byte but for
//   line breaks, of which any one (LF,
//   CRLF or CR) stands for any other, since converting a page's line ends converts the code's too
//   (a page's CRLF is never taken in half); the longest of them found there, since code
//   shortened since starts as the old did; only where it ends as a run left it, right before markup
//   or the end of the text (after a tag, blanks may come between), and unless taking it too would
//   join a '<' before the block and what follows it into markup, or cut in two a marker that begins
//   in it; code that starts with a closing body or html tag reads like the page's own end, and is
//   taken only where the page keeps such a tag of its own after it (InjectCode, which puts the
//   current code back, takes it all the same). Where nothing but blanks follows it up to the page's
//   end, a copy that a formatter reflowed goes too: its blanks as any blanks, and blanks added or
//   gone next to its tags (ReflowedLength).
// Nothing else goes with a block: what follows it up to the closing body tag may be custom code of
// a run with other settings, but it may as well be the page's own footer or, where a block was
// put at the top of the body by hand, the whole page; only bytes known to be custom code are.
// A marker is a comment written exactly as "<!--VornetAdBegin-->" or "<!--VornetAdEnd-->", where a
// browser reads a comment. Everything else stays byte for byte: a lone marker (the rest of its
// block, its script say, would stay without it), a marker inside an attribute, a script or another
// comment or in ISO-2022-JP letters, and a block whose removal would change how the rest of the page
// reads (one that opens or closes an svg or math element, or escapes into ISO-2022-JP letters and
// not back).
//
// In a file that is no page by its kind (a script, a note; NeverAPage), which no browser reads as
// HTML, the markers' words are far more likely written about the advert than by a run: there a
// block is only a begin marker right before the code every run has written (a script of type
// text/javascript, or a link to a style sheet) up to the end marker after it, and every other
// marker is the file's own text.
enum class MarkersIn { PageMarkup, OtherText };
MarkersIn MarkersInFile(const QString& path);
BlockRemoval RemoveOldBlocks(const QByteArray& page, const QByteArray& customCode,
                             const QByteArrayList& earlierCustomCodes = {},
                             MarkersIn markersIn = MarkersIn::PageMarkup);

struct Injection {
    QByteArray page;
    Leftover leftover;  // as RemoveOldBlocks finds it
    // Why the block must not go where it would, naming the line: into code that a server or a site
    // generator reads first (ServerCodeAt, TemplateCodeAround), where an ISO-2022-JP page would read
    // it as letters, or into a page that holds one of the advert's own names (FindAdvertNames);
    // empty where it may. The page is then left as it is.
    QString misplaced;
    qsizetype blockAt = 0;  // where the block begins in `page`
    // Where a link left open before the block begins in `page`, which browsers make again around
    // the advert; -1 where none is.
    qsizetype linkAt = -1;
};

// The page with its old blocks removed by RemoveOldBlocks (the custom code being whatever follows
// the end marker in `codeBlock`) and `codeBlock` inserted at the insertion point of what is left,
// or where an old block was when only blanks lie between the two. Injecting the same block again
// gives the same page. `language`: the code a server runs in the page (ServerLanguageOf).
// `markersIn`: as RemoveOldBlocks reads them.
Injection Inject(const QByteArray& page, const QByteArray& codeBlock, const QByteArrayList& earlierCustomCodes = {},
                 ServerLanguage language = ServerLanguage::None, MarkersIn markersIn = MarkersIn::PageMarkup);
QByteArray InjectCode(const QByteArray& page, const QByteArray& codeBlock,
                      const QByteArrayList& earlierCustomCodes = {});

// The largest page read. A page is held in memory a few times over while its block is replaced.
inline constexpr qint64 kMaxPageBytes = qint64(1) << 30;

// The outcome of reading a page: its bytes, or none when it does not exist, which is not an error.
using PageRead = Result<std::optional<QByteArray>>;

// Reads the whole file as ReadPage does, without looking at what it holds: for a run that takes
// blocks out (RemoveFromFile).
PageRead ReadPageText(const QString& path);

// What the remove run takes out of a whole file's bytes, `file`, which may be a file of any kind: a
// site's patterns may match every file, and any file may be given. RemoveOldBlocks for a page of
// 8-bit or UTF-8 text. Nothing is taken out, and nothing is wrong, where the file holds neither
// marker, as 8-bit text or as UTF-16 or UTF-32 in either byte order, whatever else it holds. A page
// that starts with a UTF-16 byte-order mark (either order) and is whole UTF-16 text has its blocks
// taken out of its text as any page's are, the custom codes read as text (UTF-8 where they are
// valid UTF-8, else Latin-1), and comes back in the same byte order with the same mark, every byte
// outside a block as it was. Refused, with why: a file that holds a marker as UTF-32 text (a UTF-32
// mark starts as a UTF-16 one does), whatever else it holds, any other file that holds a marker and a
// zero byte (a GIF, UTF-16 without its mark), and a page with the mark that is not whole UTF-16 text
// (an odd count of bytes, half of a surrogate pair), that holds a marker as 8-bit text, or that holds
// one only in the byte order its mark does not give (an editor's wrong save), which no browser reads.
// `name` is the file's, which tells where its markers are (MarkersInFile).
Result<BlockRemoval> RemoveFromFile(const QByteArray& file, const QString& name, const QByteArray& customCode,
                                    const QByteArrayList& earlierCustomCodes = {});

// Reads the whole page and checks that the advert can go into it; whether it can be written back
// is asked once the page with the advert is known (CheckReplaceable). An error, and the page left as
// it is, for anything that exists but is not a readable regular file of text (a folder, a pipe, a
// device, a loop of links, a page without read permission, one larger than kMaxPageBytes
// or one that holds a zero byte), for UTF-32 text (by its mark, or the advert's marker in it), for one
// that starts as UTF-16 text does (an old block can still be taken out of it, through
// RemoveFromFile), for an XHTML page by its name (".xhtml", ".xht"), for a page in a charset that
// browsers show no text of (CharsetShowingNothing; RemoveFromFile still takes its old block out),
// and for a page of frames (a frameset before any body). Nothing blocks on a node.
PageRead ReadPage(const QString& path);

// The banner's GIF as the runs write it, encoded once however many folders receive it: its bytes, or
// why it could not be encoded (then every attempt to write it fails with that reason).
struct BannerGif {
    Result<QByteArray> encoded;
    explicit BannerGif(const QImage& banner);
};

// What the check of a path that an image or a style sheet is to be written at found: why it may not
// be written there, and what was looked at through a link there, which must still be there when it
// is replaced.
struct LinkCheck {
    QString refusal;  // empty when it may be written
    std::optional<FileStamp> readAs;
};

// Whether an image may be written at `path`: written through a link, which may lead anywhere, it
// replaces only a GIF, an empty file or nothing.
[[nodiscard]] LinkCheck CheckImageLink(const QString& path);

// An image that a run writes beside its pages: its GIF (owned by the run) and where it goes.
struct ImageFile {
    const BannerGif* gif = nullptr;
    QString path;
};

// Whether `bytes` (a file's start) are a GIF's: a GIF holds a zero byte (every run of its image
// data ends with one); a text that starts with the same letters holds none, and is a page or a
// note of the user's.
bool IsGif(QByteArrayView bytes);

// What a page written with the advert starts from.
enum class PageStart {
    AsItIs,  // the page as it stands, its old blocks taken out; the sample page where there is none
    Sample,  // the sample page, whatever stands at the path: for the preview page, the program's own
    Found,   // as AsItIs, but a page that is gone is reported: it was found on disk and is no new one
};

// A folder's images and style sheet within one run, written with the first of its pages that gets
// that far and then left alone for the rest; where they failed, each later page is left as it is,
// with why. A run makes one for each unbroken run of a folder's pages (see Generate). `code` and the
// images' GIFs are the run's, and must outlive it. With CheckFiles as `write`, nothing is written,
// and the results say what would be.
class SharedFiles final {
public:
    // `servedPages`: the pages of the run they serve, whoever may read one of which must be able to
    // read them (the first page written alone where it is empty). `drawnOn`: the template the
    // banner is drawn on and its companion, which no image is written over.
    SharedFiles(const BuiltCode& code, QList<ImageFile> images, QString stylePath, WriteFiles write = ReplaceFiles,
                QStringList servedPages = {}, DrawnOn drawnOn = {});
    // The code is kept by reference: a temporary would be gone before the first page.
    SharedFiles(BuiltCode&&, QList<ImageFile>, QString, WriteFiles = ReplaceFiles, QStringList = {},
                DrawnOn = {}) = delete;

    // Writes one page with the advert. The page is read and checked first (ReadPage, then
    // CheckReplaceable with the page as it would be written: one that holds it already passes
    // however it is protected; with PageStart::Sample only checked); a page refused there is
    // reported alone and nothing is written on its account. Otherwise the images and the style sheet are written
    // (unless they were, or failed), all of them or none together with the page, which has
    // `code.codeBlock` injected; where they failed, the page is left as it is (or not made) and
    // reported with why; where only the page failed, they are tried again with the next page. A
    // page at the path of one of the images or of the style sheet is refused, and so is a page that
    // is a link to a file named like them in any folder or to any style sheet; an image or style
    // sheet that is a link to a file of another kind is refused in its turn (see the README). With
    // PageStart::Sample, made anew, the page, the images and the style sheet are never written
    // through a link. The page is replaced only if it is still as it was read (ReplaceFile with a
    // FileStamp). Returns one result per file attempted, in order; none where a stop was asked for
    // while another run held the folder, and the page was not reached.
    [[nodiscard]] QList<FileResult> WritePage(const QString& pagePath, PageStart start = PageStart::AsItIs);
    // What the pages written so far hold that may keep the advert from showing (a <base href>, an
    // element left open around it that hides it), one line each, which it then forgets.
    [[nodiscard]] QStringList TakeNotes() { return std::exchange(notes, {}); }
    // Whether the images and the style sheet have been written (or found to hold their bytes).
    bool FilesWritten() const { return written; }

private:
    QList<FileResult> WriteTogether(const FileToWrite& page, PageStart start);
    FileResult NotGivenTheAdvert(const QString& pagePath) const;

    const BuiltCode& code;
    QList<ImageFile> images;
    QString stylePath;
    WriteFiles write = ReplaceFiles;
    QStringList servedPages;
    DrawnOn drawnOn;
    FolderLock lock;  // from the first page to the last of the folder's pages
    bool written = false;
    QString failure;  // why they were not written ("since ... could not be written"), which each later page gives
    QStringList notes;
};
