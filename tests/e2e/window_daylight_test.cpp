// Designing a day and scaling the levels in the window against the simulated controller: what
// Apply and OK send is judged on the controller's wire, and one Undo takes each back.

#include "cfg/conversions.h"
#include "main/frm_phorin.h"
#include "main/pages/design_day_dialog.h"
#include "main/pages/schedule_page.h"
#include "main/pages/visualize_page.h"
#include "sim/sim_controller.h"
#include "sim/wire_log.h"
#include "support/window_controls.h"
#include "support/by_value.h"
#include "support/wait.h"
#include "support/window_fixture.h"

#include <QDoubleSpinBox>
#include <QSettings>
#include <QTabWidget>
#include <QtTest>

using namespace zel;

namespace {
constexpr int ConnectTimeoutMs = 15000;

QStringList RowUploads(const SimController& sim) {
    return WithoutTimes(sim.WireLines()).filter(QRegularExpression(QStringLiteral("^IN 03")));
}

// The uploads of rows 0.. as they cross the line: index, then the row's 15 bytes.
QStringList UploadLines(const std::vector<ScheduleRow>& rows) {
    QStringList lines;
    for (size_t index = 0; index < rows.size(); ++index) {
        QByteArray bytes(1, char(index));
        bytes.append(reinterpret_cast<const char*>(&rows[index]), sizeof(ScheduleRow));
        lines << QStringLiteral("IN 03") + QString::fromLatin1(bytes.toHex().toUpper());
    }
    return lines;
}

// Replaces what an edit holds by typing, as a user does.
void Retype(QWidget* edit, const QString& text) {
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
}
} // namespace

class WindowDaylightTest : public QObject {
    Q_OBJECT

private:
    test::WindowFixture fixture_;
    std::unique_ptr<SimController> sim_;
    std::unique_ptr<TfrmPHORIN> window_;

    // Until as many rows as `rows` holds have been uploaded after the first `from`.
    bool WaitForUploads(int from, const std::vector<ScheduleRow>& rows) {
        return test::WaitUntil([&] { return RowUploads(*sim_).size() >= from + int(rows.size()); });
    }

private slots:
    void init() {
        sim_ = std::make_unique<SimController>();
        const QString port = sim_->Start();
        window_ = fixture_.Window(QStringList{port, QStringLiteral("-english")});
        window_->resize(1000, 640);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QVERIFY(test::WaitForFirstRead(*window_, ConnectTimeoutMs));
    }

    void cleanup() {
        window_->close();
        window_.reset();
        sim_.reset();
    }

    // The place typed, noon moved to 15:00, white dimmed to 80 %: the preview follows, Apply
    // uploads every row as the preview showed it, one Undo sends the old rows back.
    void ADesignedDayIsOneUndoableUpload() {
        DeviceState& state = window_->State();
        const std::vector<ScheduleRow> before = state.Schedule;
        auto* page = window_->findChild<SchedulePage*>("tsSchedule");
        window_->ShowPage(page);
        QTest::mouseClick(page->btnDesignDay, Qt::LeftButton);
        auto* dialog = window_->findChild<DesignDayDialog*>("dlgDesignDay");
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->edtDesignLat->text(), QStringLiteral("50.1")); // the controller's place
        // A click on the map 45° north, 90° east of its centre takes that place.
        const std::vector<ScheduleRow> atHome = dialog->Rows();
        QWidget* map = dialog->imgDesignMap->viewport();
        const double scale = dialog->imgDesignMap->Scale();
        const QPointF click = QRectF(map->rect()).center() + QPointF(250.5, -124.5) * scale;
        QTest::mouseClick(map, Qt::LeftButton, {}, click.toPoint());
        QVERIFY(std::abs(ParseNumber(dialog->edtDesignLat->text()) - 45) <= 0.5);
        QVERIFY(std::abs(ParseNumber(dialog->edtDesignLon->text()) - 90) <= 0.5);
        QVERIFY(!dialog->Rows().empty() && UploadLines(dialog->Rows()) != UploadLines(atHome));
        Retype(dialog->edtDesignLat, QStringLiteral("-33.9"));
        Retype(dialog->edtDesignLon, QStringLiteral("18.4"));
        Retype(dialog->edtDesignNoon, QStringLiteral("15:00"));
        Retype(dialog->edtDesignMax[0], QStringLiteral("80"));
        const std::vector<ScheduleRow> designed = dialog->Rows();
        QCOMPARE(designed.size(), before.size());
        const int peak = int(std::max_element(designed.begin(), designed.end(),
                                              [](const ScheduleRow& a, const ScheduleRow& b) {
                                                  return a.Color16[0] < b.Color16[0];
                                              }) -
                             designed.begin());
        QVERIFY(std::abs(designed[size_t(peak)].Hour * 60 + designed[size_t(peak)].Minute - 900) <=
                60);
        const int white = designed[size_t(peak)].Color16[0];
        QVERIFY2(white <= LevelFromPercent(80) && white >= LevelFromPercent(78),
                 qPrintable(QString::number(white)));
        QVERIFY(dialog->lblDesignDose->text().startsWith(QStringLiteral("Daily dose: W ")));
        if (const QByteArray path = qgetenv("ZEL_DESIGN_SCREENSHOT"); !path.isEmpty())
            QVERIFY(dialog->grab().save(QString::fromLocal8Bit(path)));

        const int uploads = int(RowUploads(*sim_).size());
        QTest::mouseClick(dialog->btnDesignApply, Qt::LeftButton);
        QVERIFY(WaitForUploads(uploads, designed));
        QCOMPARE(RowUploads(*sim_).mid(uploads), UploadLines(designed));

        window_->findChild<QAction*>("mnuUndo")->trigger();
        QVERIFY(WaitForUploads(uploads + int(designed.size()), before));
        QCOMPARE(RowUploads(*sim_).mid(uploads + int(designed.size())), UploadLines(before));
    }

    // One acclimation step by hand: every level halved and uploaded; the Visualization page
    // shows the dose, with the daily light integral once a PAR is typed, which is kept.
    void ScaledLevelsAreOneEditAndTheDoseFollows() {
        DeviceState& state = window_->State();
        const std::vector<ScheduleRow> before = state.Schedule;
        auto* page = window_->findChild<SchedulePage*>("tsSchedule");
        window_->ShowPage(page);
        QTest::mouseClick(page->btnScaleLevels, Qt::LeftButton);
        auto* dialog = window_->findChild<QInputDialog*>("dlgScaleLevels");
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        Retype(dialog->findChild<QDoubleSpinBox*>(), QStringLiteral("50"));
        const int uploads = int(RowUploads(*sim_).size());
        QTest::keyClick(dialog->findChild<QDoubleSpinBox*>(), Qt::Key_Return);
        std::vector<ScheduleRow> halved = before;
        for (ScheduleRow& row : halved)
            for (int channel = 0; channel < ChannelCount; ++channel)
                row.Color16[channel] = int16_t(Nearest(row.Color16[channel] * 0.5));
        QVERIFY(WaitForUploads(uploads, halved));
        QCOMPARE(RowUploads(*sim_).mid(uploads), UploadLines(halved));

        auto* visualize = window_->findChild<VisualizePage*>("tsVisualize");
        window_->ShowPage(visualize);
        QCOMPARE(visualize->lblDose[0]->text(), DoseTexts(halved).value(0));
        Retype(visualize->edtPar[0], QStringLiteral("500"));
        const double hours = (*DailyDoseHours(halved))[0];
        QCOMPARE(visualize->lblDose[0]->text(),
                 QStringLiteral("W %1 h at full level · %2 mol/m²/day")
                     .arg(FormatNumber(hours, 1), FormatNumber(hours * 1.8, 1)));
        QCOMPARE(QSettings(QStringLiteral("ZELPHORIN2")).value("ParW").toDouble(), 500.0);
    }
};

QTEST_MAIN(WindowDaylightTest)
#include "window_daylight_test.moc"
