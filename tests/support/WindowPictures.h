#pragma once

// What the window suites look at in their pictures, and where
// scripts/screenshots.sh wants them.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

namespace tessel::test {

// Pixels of the picture (every step-th in both directions) that pick holds for.
inline int CountPixels(const QImage &img, const std::function<bool(const QColor &)> &pick, int step = 1) {
    int n = 0;
    for (int y = 0; y < img.height(); y += step)
        for (int x = 0; x < img.width(); x += step)
            n += pick(img.pixelColor(x, y));
    return n;
}

// Coloured, neither white, black nor grey: the curves.
inline bool Coloured(const QColor &c) {
    return std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 60;
}

// Saves the picture into TESSEL_SCREENSHOT_DIR when the variable is set.
inline void SaveScreenshot(const QImage &img, const char *file) {
    if (const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR"); !out.isEmpty())
        EXPECT_TRUE(img.save(QDir(out).filePath(QLatin1String(file)))) << file;
}
inline void SaveScreenshot(QWidget &w, const char *file) { SaveScreenshot(w.grab().toImage(), file); }

} // namespace tessel::test
