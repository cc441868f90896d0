// zolk-screenshots as the documentation runs it, on short phases: both pictures written, every
// display moved off its initial picture, and the same pictures again on a second run.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <vector>

#include "shell/main_window.h"
#include "test_application.h"

namespace zolk::shell {
namespace {

// Runs the program into folder with short phases; its exit code, -1 when it did not end.
int runScreenshots(const QString& folder) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(ZOLK_SCREENSHOTS_PROGRAM, {"--robust", "4", "--fast", "4", folder});
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Where a display sits in the window's picture.
QRect placeOf(const MainWindow& window, const char* name) {
    const auto* display = window.findChild<QWidget*>(name);
    return display == nullptr ? QRect() : QRect(display->mapTo(&window, QPoint(0, 0)), display->size());
}

QSet<QRgb> coloursIn(const QImage& image, const QRect& area) {
    QSet<QRgb> colours;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) colours.insert(image.pixel(x, y));
    }
    return colours;
}

int pixelsOf(const QImage& image, const QRect& area, const QColor& colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) count += image.pixelColor(x, y) == colour ? 1 : 0;
    }
    return count;
}

TEST(ScreenshotsProgram, WritesBothPicturesWithLiveDisplaysTheSameEachRun) {
    test::ensureApplication();
    QTemporaryDir first;
    QTemporaryDir second;
    ASSERT_TRUE(first.isValid() && second.isValid());
    ASSERT_EQ(runScreenshots(first.path()), 0);

    // A window as it opens, laid out as the program's: its pictures are the displays at rest.
    MainWindow fresh;
    fresh.show();
    const QImage rest = fresh.grab().toImage();
    // robust.png is taken as the station answers a frame (a lamp lit, the level gauge resting while
    // it transmits), fast.png as it decodes one (the level gauge showing the input).
    struct Shot {
        const char* file;
        std::vector<const char*> moved;
        bool lampLit;
    };
    const std::vector<const char*> always{"pctWaterfall", "pctConstelacion", "chartVelocidad", "pctRelacionSN",
                                          "txtSN", "pctOffsetFrecuencia", "txtAFC"};
    const auto with = [&](std::initializer_list<const char*> more) {
        std::vector<const char*> all = always;
        all.insert(all.end(), more);
        return all;
    };
    for (const Shot& c : {Shot{"robust.png", always, true}, Shot{"fast.png", with({"pctVumetro", "txtVU"}), false}}) {
        SCOPED_TRACE(c.file);
        const QImage shot(first.filePath(c.file));
        ASSERT_FALSE(shot.isNull());
        EXPECT_EQ(shot.size(), rest.size());
        for (const char* display : c.moved) {
            const QRect area = placeOf(fresh, display);
            ASSERT_FALSE(area.isEmpty()) << display;
            EXPECT_NE(shot.copy(area), rest.copy(area)) << display << " is at its initial picture";
        }
        int lampsLit = 0;
        for (const char* lamp : {"txtData", "txtACK", "txtNACK", "TxtREQ", "txtStart", "txtBreak", "txtQRT"}) {
            const QRect area = placeOf(fresh, lamp);
            lampsLit += shot.copy(area) != rest.copy(area) ? 1 : 0;
        }
        EXPECT_EQ(lampsLit > 0, c.lampLit);
        // The waterfall holds received rows, not one colour; the receiving station's chart has
        // green bars; the constellation has dots that are neither background nor boundary lines.
        EXPECT_GT(coloursIn(shot, placeOf(fresh, "pctWaterfall")).size(), 50);
        EXPECT_GT(pixelsOf(shot, placeOf(fresh, "chartVelocidad"), Qt::green), 100);
        const QRect constellation = placeOf(fresh, "pctConstelacion");
        const QSet<QRgb> atRest = coloursIn(rest, constellation);
        int dots = 0;
        for (int y = constellation.top(); y <= constellation.bottom(); ++y) {
            for (int x = constellation.left(); x <= constellation.right(); ++x) {
                const QRgb pixel = shot.pixel(x, y);
                dots += !atRest.contains(pixel) && QColor(pixel) != QColor(Qt::blue) ? 1 : 0;
            }
        }
        EXPECT_GT(dots, 100);
    }
    EXPECT_NE(fileBytes(first.filePath("robust.png")), fileBytes(first.filePath("fast.png")));

    ASSERT_EQ(runScreenshots(second.path()), 0);
    for (const char* file : {"robust.png", "fast.png"}) {
        EXPECT_EQ(fileBytes(first.filePath(file)), fileBytes(second.filePath(file))) << file;
    }
}

TEST(ScreenshotsProgram, RefusesBadArguments) {
    test::ensureApplication();
    for (const QStringList& arguments : {QStringList{}, QStringList{"--robust", "x", "out"},
                                         QStringList{"--fast", "-3", "out"}, QStringList{"--robust"},
                                         QStringList{"a", "b"}, QStringList{"--colour", "out"}}) {
        QProcess process;
        process.start(ZOLK_SCREENSHOTS_PROGRAM, arguments);
        ASSERT_TRUE(process.waitForFinished(30000)) << arguments.join(' ').toStdString();
        EXPECT_EQ(process.exitCode(), 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(process.readAllStandardError().startsWith("usage: zolk-screenshots")) << arguments.join(' ').toStdString();
    }
}

}  // namespace
}  // namespace zolk::shell
