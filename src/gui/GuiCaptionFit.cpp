#include "gui/GuiCaptionFit.h"

#include <QAbstractButton>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace pellum::lang {
namespace {

// Room a group title needs beyond its text: the indent before it and as much
// after it.
constexpr int kGroupTitleMargin = 16;
// Air left between a label that had to grow and the control it pushed.
constexpr int kLabelGap = 4;

QString WithoutMnemonic(QString text) {
    text.remove(QLatin1Char('&'));
    return text;
}

bool IsLabel(const QWidget* w) {
    const auto* label = qobject_cast<const QLabel*>(w);
    return label && !label->wordWrap() && !label->text().isEmpty();
}

// The width the caption of `w` needs; 0 for controls that have no caption to
// fit (edit fields, lists, panels, empty captions).
int NeededWidth(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return IsLabel(label) ? label->sizeHint().width() : 0;
    if (auto* push = qobject_cast<QPushButton*>(w)) {
        if (push->text().isEmpty())
            return 0;
        // Text plus the style's frame and margins; not the style's minimum
        // button width, which small buttons ("...") are allowed to undercut.
        QStyle* style = push->style();
        const int sides = 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, push) / 2 +
                               style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, push));
        int text = push->fontMetrics().horizontalAdvance(WithoutMnemonic(push->text()));
        if (!push->icon().isNull())
            text += push->iconSize().width() + 4;
        return text + sides;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text().isEmpty() ? 0 : button->sizeHint().width();
    if (auto* group = qobject_cast<QGroupBox*>(w))
        return group->title().isEmpty()
                   ? 0
                   : group->fontMetrics().horizontalAdvance(WithoutMnemonic(group->title())) +
                         kGroupTitleMargin;
    return 0;
}

bool IsFixedWindow(const QWidget* w) {
    return w->isWindow() && w->minimumSize() == w->maximumSize();
}

void GrowTo(QWidget* w, int width, int height) {
    if (width <= w->width() && height <= w->height())
        return;
    const QSize size(std::max(width, w->width()), std::max(height, w->height()));
    if (IsFixedWindow(w))
        w->setFixedSize(size);
    else
        w->resize(size);
}

// The left edge of the first sibling that starts right of `r`'s left edge on
// its row, or -1.
int NextOnRow(const std::vector<QRect>& places, std::size_t self) {
    const QRect& r = places[self];
    int next = -1;
    for (std::size_t j = 0; j < places.size(); ++j) {
        const QRect& s = places[j];
        if (j != self && s.x() > r.x() && s.top() <= r.bottom() && r.top() <= s.bottom() &&
            (next < 0 || s.x() < next))
            next = s.x();
    }
    return next;
}

// Fits the children of `container` (deepest containers first) and then the
// container itself, which may grow.
void FitContainer(QWidget* container) {
    std::vector<QWidget*> children;
    for (QObject* o : container->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w && !w->isWindow() && !w->isHidden())
            children.push_back(w);
    }
    // Where everything stood before this fit.
    std::vector<QRect> places;
    for (QWidget* w : children)
        places.push_back(w->geometry());
    for (QWidget* w : children)
        FitContainer(w);
    if (container->layout()) {
        // Qt places the children; the window only has to be big enough.
        if (container->isWindow()) {
            container->layout()->activate();
            const QSize want = container->layout()->totalSizeHint().expandedTo(
                container->layout()->totalMinimumSize());
            GrowTo(container, want.width(), want.height());
        }
        return;
    }
    int rightBefore = 0;
    int bottomBefore = 0;
    for (const QRect& r : places) {
        rightBefore = std::max(rightBefore, r.right() + 1);
        bottomBefore = std::max(bottomBefore, r.bottom() + 1);
    }
    const int rightMargin = std::max(4, container->width() - rightBefore);
    const int bottomMargin = std::max(2, container->height() - bottomBefore);

    // Each control that grew moves what stands to its right on its rows by
    // as much; a control pushed by several moves by the most, and passes it
    // on, so columns stay columns.
    std::vector<std::size_t> order(children.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return places[a].x() < places[b].x(); });
    std::vector<int> shift(children.size(), 0);
    for (std::size_t i : order) {
        QWidget* w = children[i];
        const QRect& was = places[i];
        const int need = NeededWidth(w);
        if (need > w->width())
            w->resize(need, w->height());
        // The room the control had: up to the next control on its row for a
        // label that was already sized to its text and runs into it.
        int room = was.width();
        int extra = 0;
        const int next = NextOnRow(places, i);
        if (IsLabel(w) && next >= 0 && was.x() + need > next) {
            room = std::min(room, next - was.x());
            extra = kLabelGap;
        }
        int growth = std::max(0, w->width() - room);
        if (growth > 0)
            growth += extra;
        const int push = shift[i] + growth;
        if (push == 0)
            continue;
        for (std::size_t j = 0; j < children.size(); ++j) {
            const QRect& s = places[j];
            if (j != i && s.x() >= was.x() + room && s.top() <= was.bottom() &&
                was.top() <= s.bottom())
                shift[j] = std::max(shift[j], push);
        }
    }
    for (std::size_t i = 0; i < children.size(); ++i)
        if (shift[i] > 0)
            children[i]->move(places[i].x() + shift[i], children[i]->y());
    int right = 0;
    int bottom = 0;
    for (QWidget* w : children) {
        right = std::max(right, w->geometry().right() + 1);
        bottom = std::max(bottom, w->geometry().bottom() + 1);
    }
    // What grew keeps the container's margins; what stuck out already only
    // has to come inside.
    const auto target = [](int extent, int before, int size, int margin) {
        if (extent > before)
            return extent + margin;
        return extent > size ? extent + 2 : 0;
    };
    GrowTo(container, target(right, rightBefore, container->width(), rightMargin),
           target(bottom, bottomBefore, container->height(), bottomMargin));
    // A group title needs its room as well.
    if (auto* group = qobject_cast<QGroupBox*>(container))
        GrowTo(group, NeededWidth(group), 0);
}

// Refits the window whenever one of its controls asks its parent for a new
// layout, which Qt does when a caption's text or font changes.
class CaptionFitter : public QObject {
public:
    explicit CaptionFitter(QWidget* window) : QObject(window), m_window(window) {
        setObjectName(QLatin1String(kName));
    }
    static constexpr const char* kName = "captionFitter";

    void Watch(QWidget* w) {
        if (m_watched.contains(w))
            return;
        m_watched.append(w);
        w->installEventFilter(this);
    }
    void WatchAll() {
        Watch(m_window);
        for (QWidget* w : m_window->findChildren<QWidget*>())
            if (!w->isWindow() && !w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty())
                Watch(w);
    }
    void Fit() {
        if (m_fitting)
            return;
        m_fitting = true;
        FitContainer(m_window);
        m_fitting = false;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::LayoutRequest && m_window->isVisible())
            Fit();
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* m_window;
    QList<QWidget*> m_watched;
    bool m_fitting = false;
};

} // namespace

void FitCaptions(QWidget* window) {
    if (!window)
        return;
    auto* fitter = static_cast<CaptionFitter*>(window->findChild<QObject*>(
        QLatin1String(CaptionFitter::kName), Qt::FindDirectChildrenOnly));
    if (!fitter)
        fitter = new CaptionFitter(window);
    fitter->WatchAll();
    fitter->Fit();
}

} // namespace pellum::lang
