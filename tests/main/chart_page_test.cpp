// SPDX-License-Identifier: GPL-3.0-or-later
// The chart page and the health picture in the window: reading the chart again, the source
// popup, saving the chart, the hover text, and the hidden health entry.

#include "main/frm_phorin.h"
#include "main/pages/chart_page.h"
#include "main/pages/config_page.h"
#include "support/window_fixture.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QToolTip>
#include <QtTest>

#include <memory>

using namespace zel;

class ChartPageTest : public QObject {
    Q_OBJECT

private:
    test::WindowFixture fixture_;
    std::unique_ptr<TfrmPHORIN> window_;
    ChartPage* page_ = nullptr;

    DeviceState& State() { return window_->State(); }

    void ShowChart(std::initializer_list<std::pair<int, int>> samples) {
        for (const auto& [index, value] : samples)
            State().Chart.Sample[index] = int16_t(value);
        window_->RefreshChart();
    }

private slots:
    void init() {
        window_ = fixture_.ExposedWindow({"-english"});
        QVERIFY(window_);
        window_->SetConnectedState(true);
        page_ = window_->findChild<ChartPage*>("tsTemp");
        window_->ShowPage(page_);
        QTRY_VERIFY(page_->imgTemp->Picture().size() == page_->imgTemp->size());
        State().Expert.ChartInterval = 15;
        State().Replace(0);
    }

    void cleanup() { window_.reset(); }

    void PageAndClickAskForTheChart() {
        window_->ShowPage(window_->findChild<QWidget*>("tsChannels"));
        State().Replace(0);
        window_->ShowPage(page_);
        QCOMPARE(State().Snapshot(), uint32_t(rqGetChart));
        State().Replace(0);
        QTest::mouseClick(page_->imgTemp, Qt::LeftButton, {}, QPoint(50, 50));
        QCOMPARE(State().Snapshot(), uint32_t(rqGetChart));
    }

    void ResizeRedrawsAtTheNewSize() {
        ShowChart({{0, 250}, {1, 251}});
        window_->resize(window_->width() + 60, window_->height() + 30);
        QTRY_COMPARE(page_->imgTemp->Picture().size(), page_->imgTemp->size());
    }

    void PageNamesTheSourceAndWhyItsChartIsEmpty() {
        window_->RefreshChart();
        QCOMPARE(page_->lblChartSource->text(), QString()); // nothing read yet
        QCOMPARE(ChartEmptyText(page_->Data()), QStringLiteral("No chart read from a controller."));
        State().BlocksRead = rqGetInfo | rqGetExpert | rqGetChart;
        State().Expert.ChartMode = ChartVoltage;
        window_->RefreshChart();
        QCOMPARE(page_->lblChartSource->text(),
                 QStringLiteral("Input voltage in V, one sample every 15 minutes, the newest at "
                                "the right"));
        State().Expert.ChartMode = ChartTempWater;
        State().Info.TempWater = NoMeasurement;
        window_->RefreshChart();
        QVERIFY(
            page_->lblChartSource->text().startsWith(QStringLiteral("Water temperature in °C, ")));
        QCOMPARE(ChartEmptyText(page_->Data()),
                 QStringLiteral("VarnoProbe (Temperature sensor) not connected"));
        State().Info.TempWater = 250;
        window_->RefreshChart();
        QVERIFY(
            ChartEmptyText(page_->Data()).startsWith(QStringLiteral("No samples to show yet.")));
        window_->SetConnectedState(false);
        QCOMPARE(ChartEmptyText(page_->Data()), QStringLiteral("No chart read from a controller."));
        QVERIFY(page_->lblChartSource->text().startsWith(QStringLiteral("Water temperature")));
    }

    void PopupOffersTheWaterSensorOnlyWhenPresent() {
        State().Expert.ChartMode = ChartVoltage;
        State().Info.TempWater = NoMeasurement;
        page_->pumChartPopup();
        QVERIFY(!page_->mnuCHMTempWater->isEnabled());
        QVERIFY(page_->mnuCHMVoltage->isChecked());
        QVERIFY(!page_->mnuCHMTempBoard->isChecked());
        State().Info.TempWater = 245;
        State().Expert.ChartMode = ChartTempWater;
        page_->pumChartPopup();
        QVERIFY(page_->mnuCHMTempWater->isEnabled());
        QVERIFY(page_->mnuCHMTempWater->isChecked());
        QVERIFY(!page_->mnuCHMVoltage->isChecked());
    }

    void ChoosingASourceWritesExpertAndReadsTheChart() {
        page_->mnuCHMTempBoard->trigger();
        QCOMPARE(int(State().Expert.ChartMode), int(ChartTempBoard));
        QCOMPARE(State().Snapshot(), uint32_t(rqSetExpert | rqGetChart));
        // The source already chosen sends nothing.
        State().Replace(0);
        page_->mnuCHMTempBoard->trigger();
        QCOMPARE(State().Snapshot(), 0u);
    }

    void SavesTheSamplesAsTableOrPicture() {
        ShowChart({{0, 250}, {1, NoMeasurement}, {2, 262}});
        const QString table = fixture_.FilePath("chart.CSV");
        page_->SaveChartDialog = [&] { return table; };
        page_->mnuSaveChart->trigger();
        QFile file(table);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 4); // header, two samples, the final line break
        QVERIFY(lines[1].endsWith(",26.2,°C"));
        QVERIFY(lines[2].endsWith(",25.0,°C"));

        const QString picture = fixture_.FilePath("chart.png");
        page_->SaveChartDialog = [&] { return picture; };
        page_->mnuSaveChart->trigger();
        QImage saved(picture);
        QCOMPARE(saved.size(), page_->imgTemp->size());
        QCOMPARE(saved.pixel(0, 0), page_->imgTemp->Picture().pixel(0, 0));
    }

    void FailedSaveIsLoggedAndCancelSavesNothing() {
        ShowChart({{0, 250}});
        page_->SaveChartDialog = [] { return QString(); };
        page_->mnuSaveChart->trigger();
        const QString blocked = fixture_.FilePath("missing/chart.csv");
        page_->SaveChartDialog = [&] { return blocked; };
        page_->mnuSaveChart->trigger();
        const QString log = window_->findChild<QPlainTextEdit*>("mem")->toPlainText();
        QVERIFY2(log.contains(QStringLiteral("Cannot write ") + blocked), qPrintable(log));
        QVERIFY(!QFile::exists(blocked));
    }

    void HoverShowsTimeAndValue() {
        State().Info.Hour = 12;
        State().Info.Minute = 0;
        ShowChart({{0, 250}, {1, NoMeasurement}});
        const int right = page_->imgTemp->width() - 40;
        QVERIFY(page_->SampleTip(right).endsWith(QStringLiteral("12:00 PM  25.0°C")));
        const int x1 = qRound((1 - 1 / 39.0) * (page_->imgTemp->width() - 80) + 40);
        QVERIFY(page_->SampleTip(x1).isEmpty());
    }

    // Without a controller the chart shown can still be read and saved, not read again.
    void ShownChartStaysUsableWhileDisconnected() {
        State().Info.Hour = 12;
        State().Info.Minute = 0;
        ShowChart({{0, 250}});
        window_->SetConnectedState(false);
        State().Replace(0);
        QWidget* chart = page_->imgTemp;
        const QPointF newest(chart->width() - 40, 50);
        QMouseEvent hover(QEvent::MouseMove, newest, chart->mapToGlobal(newest), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(chart, &hover);
        QVERIFY(QToolTip::text().endsWith(QStringLiteral("25.0°C")));

        QContextMenuEvent menu(QContextMenuEvent::Mouse, newest.toPoint(),
                               chart->mapToGlobal(newest.toPoint()));
        QApplication::sendEvent(chart, &menu);
        QTRY_VERIFY(page_->pumChart->isVisible());
        QVERIFY(page_->mnuSaveChart->isEnabled());
        QVERIFY(!page_->mnuCHMTempBoard->isEnabled());
        page_->pumChart->hide();
        const QString table = fixture_.FilePath("offline.csv");
        page_->SaveChartDialog = [&] { return table; };
        page_->mnuSaveChart->trigger();
        QVERIFY(QFile::exists(table));
        QTest::mouseClick(chart, Qt::LeftButton, {}, newest.toPoint());
        QCOMPARE(State().Snapshot(), 0u);
    }

    void HealthEntryShowsTheExpertPagesAndReadsHealth() {
        auto* pc = window_->findChild<QTabWidget*>("pc");
        window_->findChild<QAction*>("mnuHealth")->trigger();
        QCOMPARE(pc->currentWidget()->objectName(), QStringLiteral("tsConfig"));
        for (const char* page : {"tsExpert", "tsBalance", "tsJMP"})
            QVERIFY2(pc->isTabVisible(pc->indexOf(window_->findChild<QWidget*>(page))), page);
        QVERIFY(State().Test(rqGetHealth));

        // No empty box while the counters are still to come.
        auto* health = window_->findChild<ImageBox*>("imgHealth");
        window_->RefreshHealth();
        QVERIFY(!health->isVisible());
        State().Health.PowerCycles = 2;
        State().Health.Counter[8].Low = 400;
        window_->RefreshHealth();
        QVERIFY(health->isVisible());
        const QImage& picture = health->Picture();
        QTRY_COMPARE(picture.size(), health->size());
        const QRgb window = picture.pixel(picture.width() - 1, 0);
        QVERIFY(picture.pixel(2, 100) != window); // the voltage bar begins
    }
};

QTEST_MAIN(ChartPageTest)
#include "chart_page_test.moc"
