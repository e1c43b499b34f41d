#pragma once

#include <QApplication>
#include <QImage>
#include <cstdlib>

#include "graph/Rgb.h"

namespace corvane::test {

// The one QApplication of a test program, offscreen unless a platform was
// chosen. It lives until the program ends.
inline QApplication& qtApp() {
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "test_graph_ui";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

inline bool isColour(const QImage& image, int x, int y, Rgb c) {
    return image.pixel(x, y) == qRgb(c.r, c.g, c.b);
}

inline int countInColumn(const QImage& image, int x, Rgb c) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        n += isColour(image, x, y, c) ? 1 : 0;
    }
    return n;
}

inline int countInRow(const QImage& image, int y, Rgb c) {
    int n = 0;
    for (int x = 0; x < image.width(); ++x) {
        n += isColour(image, x, y, c) ? 1 : 0;
    }
    return n;
}

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};

}  // namespace corvane::test
