#pragma once

#include <QFont>
#include <QMargins>
#include <QPointer>
#include <QSize>
#include <QSizePolicy>
#include <vector>

class QLayout;
class QStyle;
class QSpacerItem;
class QWidget;

namespace corvane {

// Rescales what a window holds: fonts, the sizes its widgets were given,
// layout margins, spacing and fixed spaces. Every factor is taken against
// the values the window had when first scaled, so going back and forth
// between sizes never drifts. Windows of their own (dialogs, panels) are
// left alone: they are not part of the window's picture.
class CWindowScale {
public:
    explicit CWindowScale(QWidget& window) : window_(window) {}

    // sx and sy against the first size; fonts follow the smaller of the two.
    void apply(double sx, double sy);

private:
    struct WidgetBase {
        QPointer<QWidget> widget;
        QFont font;
        bool ownFont = false;
        QSize minimum;
        QSize maximum;
    };
    struct LayoutBase {
        QPointer<QLayout> layout;
        QMargins margins;
        int horizontal = -1;
        int vertical = -1;
    };
    struct SpaceBase {
        QPointer<QLayout> owner;
        QSpacerItem* item = nullptr;
        QSize size;
        QSizePolicy policy;
    };

    // Records the widgets and layouts not seen yet, at their present values.
    void record(QWidget& widget);
    void recordLayout(QLayout& layout);
    [[nodiscard]] bool known(const QWidget* widget) const;

    QWidget& window_;
    // The style's own sizes (indicators, margins, arrows) at the window's
    // scale; a child of the window, so it outlives every widget using it.
    QPointer<QStyle> style_;
    std::vector<WidgetBase> widgets_;
    std::vector<LayoutBase> layouts_;
    std::vector<SpaceBase> spaces_;
};

}  // namespace corvane
