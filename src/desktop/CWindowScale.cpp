#include "desktop/CWindowScale.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QGridLayout>
#include <QLayout>
#include <QProxyStyle>
#include <QSpacerItem>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

int scaled(int value, double factor) { return static_cast<int>(std::lround(value * factor)); }

// A size given to a widget: 0 (none) and the unbounded maximum stay as they
// are, and so do the few pixels of a spin's arrows, which the style draws.
int scaledLimit(int value, double factor) {
    constexpr int kStyleDrawn = 24;
    return value <= 0 || value >= QWIDGETSIZE_MAX || value < kStyleDrawn ? value : std::max(1, scaled(value, factor));
}

// The application's style with its own sizes scaled: what it adds around a
// text (a button's margins and least width, a box's indicator) shrinks with
// the font, or the smaller window could not hold what the larger one did.
class ScaledStyle : public QProxyStyle {
public:
    ScaledStyle(double factor, QObject* owner) : factor_(factor) { setParent(owner); }

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        const int value = QProxyStyle::pixelMetric(metric, option, widget);
        return value > 1 ? std::max(1, scaled(value, factor_)) : value;
    }
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                           const QWidget* widget) const override {
        const QSize size = QProxyStyle::sizeFromContents(type, option, contents, widget);
        if (!size.isValid() || !contents.isValid()) {
            return size;
        }
        return {contents.width() + scaled(size.width() - contents.width(), factor_),
                contents.height() + scaled(size.height() - contents.height(), factor_)};
    }

private:
    double factor_;
};

QFont scaledFont(QFont font, double factor) {
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * factor);
    } else if (font.pixelSize() > 0) {
        font.setPixelSize(std::max(1, scaled(font.pixelSize(), factor)));
    }
    return font;
}

std::pair<int, int> spacingOf(const QLayout& layout) {
    if (const auto* grid = qobject_cast<const QGridLayout*>(&layout)) {
        return {grid->horizontalSpacing(), grid->verticalSpacing()};
    }
    if (const auto* form = qobject_cast<const QFormLayout*>(&layout)) {
        return {form->horizontalSpacing(), form->verticalSpacing()};
    }
    return {layout.spacing(), layout.spacing()};
}

void setSpacing(QLayout& layout, int horizontal, int vertical) {
    if (auto* grid = qobject_cast<QGridLayout*>(&layout)) {
        grid->setHorizontalSpacing(horizontal);
        grid->setVerticalSpacing(vertical);
    } else if (auto* form = qobject_cast<QFormLayout*>(&layout)) {
        form->setHorizontalSpacing(horizontal);
        form->setVerticalSpacing(vertical);
    } else if (auto* box = qobject_cast<QBoxLayout*>(&layout)) {
        box->setSpacing(box->direction() == QBoxLayout::LeftToRight || box->direction() == QBoxLayout::RightToLeft
                            ? horizontal
                            : vertical);
    } else if (horizontal >= 0) {
        layout.setSpacing(horizontal);
    }
}

}  // namespace

bool CWindowScale::known(const QWidget* widget) const {
    return std::any_of(widgets_.begin(), widgets_.end(), [widget](const WidgetBase& b) { return b.widget == widget; });
}

void CWindowScale::record(QWidget& widget) {
    if (!known(&widget)) {
        widgets_.push_back({&widget, widget.font(), widget.testAttribute(Qt::WA_SetFont), widget.minimumSize(),
                            widget.maximumSize()});
        if (widget.layout() != nullptr) {
            recordLayout(*widget.layout());
        }
    }
    for (QObject* child : widget.children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w != nullptr && !w->isWindow()) {
            record(*w);
        }
    }
}

void CWindowScale::recordLayout(QLayout& layout) {
    const auto [horizontal, vertical] = spacingOf(layout);
    layouts_.push_back({&layout, layout.contentsMargins(), horizontal, vertical});
    for (int i = 0; i < layout.count(); ++i) {
        QLayoutItem* item = layout.itemAt(i);
        if (QLayout* inner = item->layout()) {
            recordLayout(*inner);
        } else if (QSpacerItem* space = item->spacerItem()) {
            spaces_.push_back({&layout, space, space->sizeHint(), space->sizePolicy()});
        }
    }
}

void CWindowScale::apply(double sx, double sy) {
    record(window_);
    const double f = std::min(sx, sy);
    // The style in use goes only once no widget uses it any more.
    QPointer<QStyle> previous = style_;
    style_ = f == 1.0 ? nullptr : new ScaledStyle(f, &window_);
    for (const WidgetBase& b : widgets_) {
        if (b.widget == nullptr) {
            continue;
        }
        // The window's font reaches every child that has none of its own.
        if (b.ownFont || b.widget == &window_) {
            b.widget->setFont(scaledFont(b.font, f));
        }
        b.widget->setStyle(f == 1.0 ? nullptr : style_.data());
        b.widget->setMinimumSize(scaledLimit(b.minimum.width(), sx), scaledLimit(b.minimum.height(), sy));
        b.widget->setMaximumSize(scaledLimit(b.maximum.width(), sx), scaledLimit(b.maximum.height(), sy));
    }
    delete previous.data();
    for (const LayoutBase& b : layouts_) {
        if (b.layout == nullptr) {
            continue;
        }
        b.layout->setContentsMargins(scaled(b.margins.left(), sx), scaled(b.margins.top(), sy),
                                     scaled(b.margins.right(), sx), scaled(b.margins.bottom(), sy));
        setSpacing(*b.layout, b.horizontal < 0 ? -1 : scaled(b.horizontal, sx),
                   b.vertical < 0 ? -1 : scaled(b.vertical, sy));
    }
    for (const SpaceBase& b : spaces_) {
        if (b.owner != nullptr) {
            b.item->changeSize(scaled(b.size.width(), sx), scaled(b.size.height(), sy), b.policy.horizontalPolicy(),
                               b.policy.verticalPolicy());
            b.owner->invalidate();
        }
    }
}

}  // namespace corvane
