#pragma once

#include <QImage>
#include <QThreadPool>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

class QScrollBar;
class TemplateCatalog;

// The thumbnail grid of the templates page: four columns of cells, each the middle square of a
// template at 1:1, four rows at a time, with its own vertical scroll bar along the right edge. A
// click on a cell, or a move with the keys, selects that template and reports its path through
// templateSelected. The wheel scrolls a row per notch while the bar is enabled, and does nothing
// while every row fits.
//
// The geometry is fixed by Create: the drawing area is the widget minus a 20-pixel strip on the
// right (an 18-pixel scroll bar and a 2-pixel gap), divided into 4 cells with 5 pixels between
// them across and the remaining height spread over the 3 gaps between rows. The grid is drawn
// into an off-screen image, in the screen's own pixels, only when it is created, scrolled, the
// selection changes or the window moves to a screen of another pixel ratio; painting copies it.
//
// A cell's picture is cut when its row is first shown. A template of more than a million pixels is
// cut on a worker thread, while the grid is drawn without it, so that scrolling onto a screen of
// large templates never holds up the window; its cell is drawn when the picture arrives.
class TemplateStrip final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplateStrip)

public:
    // The scroll requests the strip understands, from the bar's buttons, its thumb and the wheel.
    enum ScrollCode {
        LineUp,
        LineDown,
        PageUp,
        PageDown,
        ThumbPosition,
        ThumbTrack,
        Top,
        Bottom,
    };

    // `catalog` is not owned and must not change while the strip exists; null counts as empty.
    explicit TemplateStrip(const TemplateCatalog* catalog, QWidget* parent = nullptr);
    // Waits for the pictures being cut on worker threads; those not yet begun are dropped.
    ~TemplateStrip() override;

    // Places the strip over `rect` (the parent's coordinates), fixes its geometry, draws the grid
    // and selects the first template: templateSelected reports its path (empty for an empty
    // catalog). Connect to templateSelected first. Call once.
    void Create(const QRect& rect);

    // Lays the grid out anew for what the catalog holds now (after it was scanned again): the rows,
    // the scroll bar's range and the thumbnails; the scroll position is kept where it still can be.
    // Selects nothing; nothing is reported.
    void Reload();

    // Moves the grid as `code` asks; `thumbPosition` is read for the two thumb codes. The grid
    // stops, as the bar's thumb does, when its last four rows are in view.
    void OnVScroll(int code, int thumbPosition = 0);
    // Selects entry `index` without reporting it (an index outside the catalog selects none) and
    // scrolls just far enough to bring its row into view, as the keys do.
    void Select(int index);

    int CellSize() const { return cellSize; }
    int VGap() const { return vGap; }
    int HGap() const { return hGap; }
    int MaxScrollPos() const { return maxScrollPos; }
    int ScrollPos() const { return scrollPos; }
    int SelectedIndex() const { return selectedIndex; }
    QScrollBar* ScrollBar() const { return scrollBar; }
    // Top-left corner of the cell in screen row `row` and column `column`.
    QPoint CellOrigin(int row, int column) const;
    // The catalog index a click at `pos` selects, or -1 for none.
    int IndexAt(const QPoint& pos) const;

signals:
    void templateSelected(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // The arrows, Page Up and Down, Home and End move the selection and report it, as a click does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The rows, the scroll bar and the thumbnail slots for the catalog's entries.
    void LayOutRows();
    // Scrolls just far enough to show row `row`, and draws the grid anew.
    void ShowRow(int row);
    void Render();
    void OnScrollAction(int action);
    // Cuts the cell pictures of entries first to first + count - 1 that have none yet: the middle
    // square of each template, see-through where it is. Large templates are handed to the
    // worker threads; the others are cut before this returns.
    void CutThumbnails(int first, int count);
    // Hands entry `slot`'s picture to a worker thread; the result comes back through TakeThumbnail.
    void CutAside(size_t slot);
    // A picture cut aside for the rows laid out as `cutFor`, or none when its cell had left the
    // screen before its turn came (it is cut again when shown again).
    void TakeThumbnail(size_t slot, uint64_t cutFor, std::optional<QImage> thumbnail);
    // Entry `index`'s cell picture as CutThumbnails left it; null before that or for no template.
    const QImage& Thumbnail(int index);

    int cellSize = 0;
    int maxScrollPos = 0;
    int vGap = 0;
    int hGap = 5;
    int columns = 4;
    QRect clientRect;
    int scrollPos = 0;
    int selectedIndex = 0;
    QImage backBuffer;
    QScrollBar* scrollBar = nullptr;
    const TemplateCatalog* catalog = nullptr;

    enum class Cut : uint8_t { NotYet, Aside, Done };
    std::vector<QImage> thumbnails;
    std::vector<Cut> thumbnailCut;
    // Counts the layouts of the rows, so that a picture cut for an earlier one is dropped.
    uint64_t layout = 0;
    // The first entry on screen, for the worker threads to pass over a cell scrolled away.
    std::atomic<int> firstShown{0};
    QThreadPool cutters;
    int wheelDelta = 0;
};
