#include "controls/TemplateStrip.h"

#include "banner/TemplateImage.h"
#include "controls/GradientFill.h"
#include "controls/KeyboardFocus.h"
#include "templates/TemplateCatalog.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QThread>
#include <QWheelEvent>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <system_error>
#include <thread>

namespace {

constexpr int kMargin = 3;     // left and top margin of the grid, and the highlight's overhang
constexpr int kBarStrip = 20;  // scroll bar plus the gap before it
constexpr int kBarWidth = 18;
constexpr int kWheelNotch = 120;  // one row per notch of an ordinary wheel

// Above this many pixels a template takes long enough to decode (tens of milliseconds, a second
// for a screen of the largest) that its cell is cut aside. The shipped ones have a quarter of it.
constexpr qint64 kCutAsideFrom = 1 << 20;
// Cells cut at once in each way: each holds a decoded template, tens of megabytes for a large one
// (cut aside), at most four for another (cut here).
constexpr int kMostCutters = 4;

// Whether entry `slot` is on a screen of `cells` cells that starts with entry `first`.
bool Shown(size_t slot, int first, int cells) {
    return int(slot) >= first && int(slot) < first + cells;
}

}  // namespace

TemplateStrip::TemplateStrip(const TemplateCatalog* catalog, QWidget* parent)
    : QWidget(parent)
    , catalog(catalog) {
    // Every pixel comes from the back buffer, so nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::ArrowCursor);
    cutters.setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, kMostCutters));
}

TemplateStrip::~TemplateStrip() {
    // A worker posts its picture to this strip, so none may still run once it is gone.
    cutters.clear();
    cutters.waitForDone();
}

void TemplateStrip::Create(const QRect& rect) {
    setGeometry(rect);
    setAccessibleName(QStringLiteral("Templates"));
    GiveDrawnControlsTheirRoles();
    scrollPos = 0;
    columns = 4;
    selectedIndex = 0;
    hGap = 5;

    const int width = rect.width();
    const int height = rect.height();
    clientRect = QRect(0, 0, width - kBarStrip, height);

    scrollBar = new QScrollBar(Qt::Vertical, this);
    scrollBar->setGeometry(width - kBarWidth, 0, kBarWidth, height);
    scrollBar->setPageStep(columns);
    scrollBar->setSingleStep(1);
    scrollBar->show();
    connect(scrollBar, &QScrollBar::actionTriggered, this, &TemplateStrip::OnScrollAction);

    cellSize = (clientRect.width() - columns * hGap) / columns;
    vGap = (clientRect.height() - columns * cellSize) / (columns - 1);

    LayOutRows();
    Render();
    emit templateSelected(catalog != nullptr ? catalog->PathAt(0) : QString());
}

void TemplateStrip::LayOutRows() {
    const int count = catalog != nullptr ? catalog->Count() : 0;
    const int rows = (count + columns - 1) / columns;
    // The grid stops where the bar's thumb does, with its last page of rows in view: further on,
    // cells would go blank and the templates above them look gone.
    maxScrollPos = std::max(rows - columns, 0);
    scrollPos = std::clamp(scrollPos, 0, maxScrollPos);
    scrollBar->setRange(0, maxScrollPos);
    scrollBar->setValue(scrollPos);
    scrollBar->setEnabled(rows > columns);

    thumbnails.assign(size_t(count), QImage());
    thumbnailCut.assign(size_t(count), Cut::NotYet);
    ++layout;
}

void TemplateStrip::Reload() {
    selectedIndex = -1;
    LayOutRows();
    Render();
    update();
}

QPoint TemplateStrip::CellOrigin(int row, int column) const {
    return {kMargin + column * (cellSize + hGap), kMargin + row * (cellSize + vGap)};
}

int TemplateStrip::IndexAt(const QPoint& pos) const {
    const int across = cellSize + hGap;
    const int down = cellSize + vGap;
    if (catalog == nullptr || across <= 0 || down <= 0 || pos.x() < 0 || pos.y() < 0) {
        return -1;
    }
    // The hit areas tile the widget from (0, 0): each takes in the gaps to its right and below.
    const int row = pos.y() / down;
    const int column = pos.x() / across;
    if (column >= columns) {
        return -1;
    }
    const int index = (row + scrollPos) * columns + column;
    return catalog->IsValidIndex(index) ? index : -1;
}

namespace {

// A cell's picture of `image`: the middle square at 1:1, see-through where the template is. The
// offset taken from the width serves both axes, as the banner's cut does, wherever the square then
// lies within the height; a template too short for that is cut from the middle of its height, or
// the square would run off its bottom and leave the cell blank. A template smaller than a cell gets
// a negative offset on that axis and so sits centred, with see-through pixels around it.
QImage CutThumbnail(const QImage& image, int cellSize) {
    if (image.isNull()) {
        return {};
    }
    const int w = image.width();
    const int h = image.height();
    const int offsetX = (w - cellSize) / 2;
    const int offsetY = offsetX >= 0 && offsetX + cellSize <= h ? offsetX : (h - cellSize) / 2;
    // Converted before the cut: an indexed image's pixels off its edges would take colour 0, where
    // they must be see-through. The alpha is the template's own, so every colour it holds shows.
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied).copy(offsetX, offsetY, cellSize, cellSize);
}

}  // namespace

void TemplateStrip::CutThumbnails(int first, int count) {
    if (catalog == nullptr || cellSize <= 0) {
        return;
    }
    firstShown = first;
    std::vector<size_t> pending;
    for (size_t slot = size_t(std::max(first, 0)); slot < std::min(size_t(first + count), thumbnails.size()); ++slot) {
        if (thumbnailCut[slot] != Cut::NotYet) {
            continue;
        }
        const QSize screen = TemplateScreenSize(catalog->PathAt(int(slot)));
        if (qint64(screen.width()) * screen.height() > kCutAsideFrom) {
            CutAside(slot);
        } else {
            pending.push_back(slot);
        }
    }
    // Templates are decoded only now, and a large one takes long: each cell is independent, so
    // they are shared out over the cores, each into its own slot.
    std::atomic<size_t> next{0};
    const auto cut = [this, &pending, &next] {
        for (size_t k = next++; k < pending.size(); k = next++) {
            thumbnails[pending[k]] = CutThumbnail(catalog->BitmapAt(int(pending[k])), cellSize);
        }
    };
    std::vector<std::jthread> helpers;
    try {
        const size_t threads = std::min({pending.size(), size_t(cutters.maxThreadCount()), size_t(kMostCutters)});
        for (size_t i = 1; i < threads; ++i) {
            helpers.emplace_back(cut);
        }
    } catch (const std::system_error&) {
        // The system gives no more threads (a process limit): the ones there are do the rest.
    }
    cut();
    helpers.clear();
    for (const size_t slot : pending) {
        thumbnailCut[slot] = Cut::Done;
    }
}

void TemplateStrip::CutAside(size_t slot) {
    thumbnailCut[slot] = Cut::Aside;
    const int cells = columns * columns;
    cutters.start([this, slot, cutFor = layout, cells, size = cellSize, path = catalog->PathAt(int(slot))] {
        std::optional<QImage> thumbnail;
        // A fast scroll leaves many cells behind; only those still on screen are worth the time.
        if (Shown(slot, firstShown, cells)) {
            thumbnail = CutThumbnail(TemplateCatalog::BitmapOf(path), size);
        }
        QMetaObject::invokeMethod(
            this, [this, slot, cutFor, thumbnail = std::move(thumbnail)] { TakeThumbnail(slot, cutFor, thumbnail); },
            Qt::QueuedConnection);
    });
}

void TemplateStrip::TakeThumbnail(size_t slot, uint64_t cutFor, std::optional<QImage> thumbnail) {
    if (cutFor != layout || slot >= thumbnails.size()) {
        return;
    }
    thumbnailCut[slot] = thumbnail ? Cut::Done : Cut::NotYet;
    if (!thumbnail) {
        // Passed over while off screen; the screen may have come back meanwhile.
        if (Shown(slot, firstShown, columns * columns)) {
            CutAside(slot);
        }
        return;
    }
    thumbnails[slot] = std::move(*thumbnail);
    if (Shown(slot, firstShown, columns * columns)) {
        Render();
        update();
    }
}

const QImage& TemplateStrip::Thumbnail(int index) {
    static const QImage none;
    if (catalog == nullptr || index < 0 || size_t(index) >= thumbnails.size() || cellSize <= 0) {
        return none;
    }
    return thumbnails[size_t(index)];
}

void TemplateStrip::Render() {
    // Every change of the selection is drawn here; a screen reader hears it as the eye sees it.
    setAccessibleDescription(catalog != nullptr && catalog->IsValidIndex(selectedIndex)
                                 ? QFileInfo(catalog->PathAt(selectedIndex)).completeBaseName()
                                 : QString());
    if (clientRect.isEmpty()) {
        backBuffer = QImage();
        return;
    }
    // The buffer has the screen's own pixels, so the highlight is drawn sharp on high-resolution
    // screens and the thumbnails are drawn straight from their 1:1 cut, not from a scaled-up copy.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(clientRect.size()) * ratio).toSize();
    if (backBuffer.size() != pixels) {
        backBuffer = QImage(pixels, QImage::Format_RGB32);
    }
    backBuffer.setDevicePixelRatio(ratio);
    backBuffer.fill(Qt::white);
    QPainter painter(&backBuffer);
    // A thumbnail keeps its pixels' edges when each of its pixels covers whole screen pixels.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, ratio != std::floor(ratio));
    int index = columns * scrollPos;
    CutThumbnails(index, columns * columns);
    for (int row = 0; row < columns; ++row) {
        for (int column = 0; column < columns; ++column, ++index) {
            const QImage& thumbnail = Thumbnail(index);
            const bool aside = size_t(index) < thumbnailCut.size() && thumbnailCut[size_t(index)] == Cut::Aside;
            if (thumbnail.isNull() && !aside) {
                continue;
            }
            const QPoint origin = CellOrigin(row, column);
            if (index == selectedIndex) {
                DrawSelection(painter,
                              QRect(origin, QSize(cellSize, cellSize)).adjusted(-kMargin, -kMargin, kMargin, kMargin));
            }
            painter.drawImage(origin, thumbnail);
        }
    }
}

void TemplateStrip::OnVScroll(int code, int thumbPosition) {
    const int last = maxScrollPos;
    switch (code) {
    case LineUp:
        scrollPos = std::max(scrollPos - 1, 0);
        break;
    case LineDown:
        scrollPos = std::min(scrollPos + 1, last);
        break;
    case PageUp:
        scrollPos = std::max(scrollPos - columns, 0);
        break;
    case PageDown:
        scrollPos = std::min(scrollPos + columns, last);
        break;
    case ThumbPosition:
    case ThumbTrack:
        scrollPos = std::clamp(thumbPosition, 0, last);
        break;
    case Top:
        scrollPos = 0;
        break;
    case Bottom:
        scrollPos = last;
        break;
    default:
        break;
    }
    if (scrollBar != nullptr) {
        // setValue, not setSliderPosition: it never triggers another action, and inside an
        // action it overrides the step the bar had already taken on its own.
        scrollBar->setValue(scrollPos);
    }
    Render();
    update();
}

void TemplateStrip::Select(int index) {
    selectedIndex = catalog != nullptr && catalog->IsValidIndex(index) ? index : -1;
    if (selectedIndex < 0) {
        Render();
        update();
        return;
    }
    ShowRow(selectedIndex / columns);
}

void TemplateStrip::ShowRow(int row) {
    // The view moves only as far as it must, as a list's does, so the rows around stay in sight.
    if (row < scrollPos) {
        OnVScroll(ThumbPosition, row);
    } else if (row >= scrollPos + columns) {
        OnVScroll(ThumbPosition, row - columns + 1);
    } else {
        Render();
        update();
    }
}

void TemplateStrip::OnScrollAction(int action) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        OnVScroll(LineUp);
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        OnVScroll(LineDown);
        break;
    case QAbstractSlider::SliderPageStepSub:
        OnVScroll(PageUp);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        OnVScroll(PageDown);
        break;
    case QAbstractSlider::SliderToMinimum:
        OnVScroll(Top);
        break;
    case QAbstractSlider::SliderToMaximum:
        OnVScroll(Bottom);
        break;
    case QAbstractSlider::SliderMove:
        OnVScroll(ThumbTrack, scrollBar->sliderPosition());
        break;
    default:
        break;
    }
}

void TemplateStrip::paintEvent(QPaintEvent*) {
    // On a screen of another pixel ratio than the buffer's (the window was moved) it is drawn anew.
    if (!backBuffer.isNull() && backBuffer.devicePixelRatio() != devicePixelRatioF()) {
        Render();
    }
    QPainter painter(this);
    if (backBuffer.isNull()) {
        painter.fillRect(rect(), Qt::white);
        return;
    }
    painter.drawImage(0, 0, backBuffer);
    painter.fillRect(QRect(clientRect.width(), 0, width() - clientRect.width(), height()), Qt::white);
    const int row = selectedIndex / columns - scrollPos;
    if (ShowsKeyboardFocus(*this) && selectedIndex >= 0 && row >= 0 && row < columns) {
        const QRect cell(CellOrigin(row, selectedIndex % columns), QSize(cellSize, cellSize));
        DrawFocusFrame(painter, *this, cell.adjusted(2, 2, -2, -2));
    }
}

void TemplateStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const int index = IndexAt(event->position().toPoint());
        if (index >= 0) {
            selectedIndex = index;
            Render();
            update();
            emit templateSelected(catalog->PathAt(selectedIndex));
        }
    }
    QWidget::mousePressEvent(event);
}

void TemplateStrip::keyPressEvent(QKeyEvent* event) {
    const int count = catalog != nullptr ? catalog->Count() : 0;
    // With nothing selected, any move starts from the first cell in view, which an arrow selects.
    const int from = selectedIndex >= 0 ? selectedIndex : scrollPos * columns;
    const int arrow = selectedIndex >= 0 ? 1 : 0;
    int to = from;
    switch (event->key()) {
    case Qt::Key_Left:
        to = from - arrow;
        break;
    case Qt::Key_Right:
        to = from + arrow;
        break;
    case Qt::Key_Up:
        to = from - arrow * columns;
        break;
    case Qt::Key_Down:
        to = from + arrow * columns;
        break;
    case Qt::Key_PageUp:
        to = from - columns * columns;
        break;
    case Qt::Key_PageDown:
        to = from + columns * columns;
        break;
    case Qt::Key_Home:
        to = 0;
        break;
    case Qt::Key_End:
        to = count - 1;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (count == 0) {
        return;
    }
    // A step past either end stops at it, as a list does.
    to = std::clamp(to, 0, count - 1);
    if (to == selectedIndex) {
        return;
    }
    selectedIndex = to;
    ShowRow(to / columns);
    emit templateSelected(catalog->PathAt(selectedIndex));
}

void TemplateStrip::wheelEvent(QWheelEvent* event) {
    // A disabled bar means every row is in view: there is nowhere to scroll to, and moving the
    // grid would only push the selected template out of sight.
    if (scrollBar == nullptr || !scrollBar->isEnabled()) {
        event->ignore();
        return;
    }
    wheelDelta += event->angleDelta().y();
    while (wheelDelta >= kWheelNotch) {
        wheelDelta -= kWheelNotch;
        OnVScroll(LineUp);
    }
    while (wheelDelta <= -kWheelNotch) {
        wheelDelta += kWheelNotch;
        OnVScroll(LineDown);
    }
    event->accept();
}
