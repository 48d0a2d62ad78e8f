// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a small screen scaled to 125 %: every page at 1024 × 600 in English and, with
// a large font, in German, with no control over another or cut off and the schedule's headers
// as wide as their texts; and the drawn pictures at the screen's pixels.

#include "main/frm_phorin.h"
#include "main/views/image_box.h"
#include "main/views/scalable_image_view.h"
#include "main/zel_application.h"
#include "support/window_controls.h"
#include "support/window_fixture.h"

#include <QAbstractScrollArea>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QScrollArea>
#include <QTableWidget>
#include <QtTest>

#include <cmath>

using namespace zel;

namespace {
constexpr double ScreenScale = 1.25;
const QSize SmallScreen(1024, 600);

// The controls a page's layouts place, containers before what they hold; a scroll area's
// content counts as placed in its view.
void CollectPlaced(const QLayout* layout, QList<QWidget*>& placed) {
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->layout()) {
            CollectPlaced(item->layout(), placed);
            continue;
        }
        QWidget* widget = item->widget();
        if (!widget || !widget->isVisible())
            continue;
        const auto* area = qobject_cast<QScrollArea*>(widget);
        QWidget* inner = area ? area->widget() : widget;
        if (!area)
            placed.append(widget);
        if (inner && inner->layout())
            CollectPlaced(inner->layout(), placed);
    }
}

QString Describe(const QWidget* widget, const QWidget* page) {
    return widget->objectName() + QLatin1Char('(') + widget->metaObject()->className() +
           QStringLiteral(") at ") + QString::number(widget->mapTo(page, QPoint(0, 0)).x()) +
           QLatin1Char(',') + QString::number(widget->mapTo(page, QPoint(0, 0)).y()) +
           QLatin1Char(' ') + QString::number(widget->width()) + QLatin1Char('x') +
           QString::number(widget->height());
}

// What is wrong on the page: controls on top of each other, outside their container, or
// squeezed below their smallest size.
QStringList LayoutFaults(QWidget* page) {
    QList<QWidget*> placed;
    CollectPlaced(page->layout(), placed);
    QStringList faults;
    for (int i = 0; i < placed.size(); ++i) {
        QWidget* control = placed[i];
        const QRect own(control->mapTo(page, QPoint(0, 0)), control->size());
        QWidget* container = control->parentWidget();
        if (!container->rect().contains(control->geometry()))
            faults << QStringLiteral("outside its container: ") + Describe(control, page);
        const QSize least = control->minimumSizeHint();
        const QSizePolicy policy = control->sizePolicy();
        if ((policy.horizontalPolicy() != QSizePolicy::Ignored &&
             control->width() < least.width()) ||
            (policy.verticalPolicy() != QSizePolicy::Ignored && control->height() < least.height()))
            faults << QStringLiteral("squeezed: ") + Describe(control, page);
        for (int j = i + 1; j < placed.size(); ++j) {
            QWidget* other = placed[j];
            if (control->isAncestorOf(other) || other->isAncestorOf(control))
                continue;
            if (own.intersects(QRect(other->mapTo(page, QPoint(0, 0)), other->size())))
                faults << QStringLiteral("overlap: ") + Describe(control, page) +
                              QStringLiteral(" and ") + Describe(other, page);
        }
    }
    return faults;
}
} // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT

private:
    test::WindowFixture fixture_;

    // Connected and refreshed, every page shown, the health picture filled: every control the
    // pages have is on them.
    std::unique_ptr<TfrmPHORIN> FullWindow(const QString& language) {
        auto window = fixture_.ExposedWindow({language, "-expert", "-rc433"});
        if (!window)
            return nullptr;
        window->State().Health.PowerCycles = 3;
        window->RefreshHealth();
        test::OpenRefreshed(*window, QStringLiteral("tsChannels"));
        window->resize(SmallScreen);
        return window;
    }

private slots:
    void PagesFitTheSmallScreen_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("points");
        for (const char* page : {"tsChannels", "tsSchedule", "tsVisualize", "tsGeo", "tsConfig",
                                 "tsTemp", "tsWeather", "tsWeatherDelay", "tsMoon", "tsExpert",
                                 "tsBalance", "tsJMP", "tsRC433", "tsMessages"}) {
            QTest::addRow("%s, English", page) << page << "-english" << 0;
            QTest::addRow("%s, German, large font", page) << page << "-german" << 14;
        }
    }
    void PagesFitTheSmallScreen() {
        QFETCH(QString, page);
        QFETCH(QString, language);
        QFETCH(int, points);
        const QFont usual = QApplication::font();
        QFont font = usual;
        if (points > 0)
            font.setPointSize(points);
        QApplication::setFont(font);
        auto window = FullWindow(language);
        QApplication::setFont(usual);
        QVERIFY(window);
        QCOMPARE(window->size(), SmallScreen);
        auto* shown = test::Control(*window, page);
        window->ShowPage(shown);
        QTRY_VERIFY(shown->isVisible() && shown->width() > 0);
        QCoreApplication::processEvents();
        const QStringList faults = LayoutFaults(shown);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        if (page != QLatin1String("tsSchedule"))
            return;
        auto* grid = test::Control<QTableWidget>(*window, QStringLiteral("sgSchedule"));
        const QHeaderView* header = grid->horizontalHeader();
        const int margins =
            2 * grid->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        for (int column = 0; column < grid->columnCount(); ++column) {
            const QString text = grid->horizontalHeaderItem(column)->text();
            QVERIFY2(header->fontMetrics().horizontalAdvance(text) + margins <=
                         grid->columnWidth(column),
                     qPrintable(text));
        }
    }

    // Each picture with at least as many pixels as the screen shows for it: drawn for its
    // control at the screen's ratio, the map enlarged to whole device pixels.
    void PicturesHaveTheScreensPixels_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("picture");
        QTest::newRow("visualisation") << "tsVisualize"
                                       << "img";
        QTest::newRow("chart") << "tsTemp"
                               << "imgTemp";
        QTest::newRow("health") << "tsConfig"
                                << "imgHealth";
        QTest::newRow("moon") << "tsGeo"
                              << "imgMoon";
        QTest::newRow("map") << "tsGeo"
                             << "imgGeo";
    }
    void PicturesHaveTheScreensPixels() {
        QFETCH(QString, page);
        QFETCH(QString, picture);
        auto window = FullWindow(QStringLiteral("-english"));
        QVERIFY(window);
        window->ShowPage(test::Control(*window, page));
        auto* control = test::Control(*window, picture);
        QTRY_VERIFY(control->isVisible());
        QCOMPARE(control->devicePixelRatioF(), ScreenScale);
        if (auto* map = qobject_cast<ScalableImageView*>(control)) {
            QCOMPARE(map->Picture().size(), QSize(2000, 1000));
            QCOMPARE(map->Picture().devicePixelRatio(), 2.0);
            return;
        }
        const auto drawn = [&] {
            if (auto* box = qobject_cast<ImageBox*>(control))
                return box->Picture();
            return qobject_cast<QLabel*>(control)->pixmap().toImage();
        };
        const QSize expected = (QSizeF(control->size()) * ScreenScale).toSize();
        QTRY_COMPARE(drawn().size(), expected);
        QCOMPARE(drawn().devicePixelRatio(), ScreenScale);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", QByteArray::number(ScreenScale));
    TApplication application(argc, argv);
    WindowLayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_layout_test.moc"
