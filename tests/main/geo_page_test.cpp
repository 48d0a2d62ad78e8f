// SPDX-License-Identifier: GPL-3.0-or-later
// The Geo page offscreen: the map projection and marker, the sun and moon text and picture,
// the handlers' focus rule, the clock controls and the window's wiring of the page.

#include "cfg/requests.h"
#include "lang/translate.h"
#include "main/frm_phorin.h"
#include "main/pages/geo_page.h"
#include "main/status_panels.h"
#include "main/views/moon_phase.h"
#include "main/widgets/range_mark.h"
#include "sunmoon/geo_report.h"

#include <QCalendarWidget>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <ctime>
#include <memory>

using namespace zel;

namespace {
const QString Midsummer = QStringLiteral("Sun: Azimuth: 139.2°, Alt: 58.3°, Rise: 05:23, "
                                         "Set: 21:33, Length of day: 16:10 hours\r\n"
                                         "Moon: Azimuth: 331°, Alt: -66.2°, Rise: 21:58, "
                                         "Set: 03:59, Phase: 99.5%\r\n");
constexpr QRgb Red = 0xFFFF0000;
constexpr QRgb MoonYellow = 0xFFE0E000;

void SetClock(InfoBlock& info, int year, int month, int day, int hour, int minute) {
    info.Year = int8_t(year - 2000);
    info.Month = uint8_t(month);
    info.Day = uint8_t(day);
    info.Hour = uint8_t(hour);
    info.Minute = uint8_t(minute);
}

QRgb MapPixel(const GeoPage& page, int x, int y) {
    return page.imgGeo->Picture().pixel(x, y);
}

QImage MoonPicture(const GeoPage& page) {
    return page.imgMoon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
}

// White at alpha 0x40 over an opaque map pixel, per channel.
bool IsCrossHairOver(QRgb shown, QRgb map) {
    const auto close = [](int shownChannel, int mapChannel) {
        const double expected = mapChannel + (255 - mapChannel) * 0x40 / 255.0;
        return std::abs(shownChannel - expected) <= 1.5;
    };
    return close(qRed(shown), qRed(map)) && close(qGreen(shown), qGreen(map)) &&
           close(qBlue(shown), qBlue(map));
}

// A point of the view's viewport that shows the given picture pixel.
QPoint ViewportPointOf(const ScalableImageView& view, QPoint picturePoint) {
    const QSize size = view.viewport()->size();
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            if (view.ControlToPicture(QPoint(x, y)) == picturePoint)
                return QPoint(x, y);
    qFatal("picture point %d,%d is not shown", picturePoint.x(), picturePoint.y());
}

QImage Moon(float fraction, float rotation) {
    QImage picture(60, 60, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    DrawMoonPhase(picture, MoonYellow, fraction, rotation, 20, 30, 30);
    return picture;
}

int LitPixels(const QImage& picture) {
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            count += picture.pixel(x, y) == MoonYellow;
    return count;
}
} // namespace

class GeoPageTest : public QObject {
    Q_OBJECT

private:
    DeviceState state_;
    std::unique_ptr<GeoPage> page_;
    QTemporaryDir folder_;

    // The page as its own window, so its controls can take the keyboard focus.
    void ShowPage() {
        page_ = std::make_unique<GeoPage>(state_, nullptr);
        page_->resize(1000, 640);
        page_->show();
        page_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(page_.get()));
    }

    void Focus(QWidget* control) {
        control->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(control->hasFocus(), 2000);
    }

private slots:
    void initTestCase() {
        // The worked examples are in a zone at +120 minutes in June.
        qputenv("TZ", "Europe/Berlin");
        tzset();
        QVERIFY(folder_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_.path());
    }

    void init() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        SelectLanguage(LanguageEnglish);
        state_.Config = ConfigBlock{};
        state_.Info = InfoBlock{};
        state_.Config.Lat = 501;
        state_.Config.Lon = 85;
        SetClock(state_.Info, 2024, 6, 21, 12, 0);
        state_.Clear(~0u);
        ShowPage();
    }

    void cleanup() { page_.reset(); }

    // ---- Map, text and moon ------------------------------------------------------------------

    void WorkedExampleOfTheDefaultPlace() {
        page_->RefreshGeo();
        QCOMPARE(page_->lblGeo->text(), Midsummer);
        const QImage& map = page_->GeoMapBitmap;
        QCOMPARE(map.size(), QSize(1000, 500));
        // The marker: 5 × 5 pixels from (522, 109), right and bottom edges excluded.
        for (const QPoint corner : {QPoint(522, 109), QPoint(526, 109), QPoint(522, 113),
                                    QPoint(526, 113), QPoint(524, 111)})
            QCOMPARE(MapPixel(*page_, corner.x(), corner.y()), Red);
        QVERIFY(MapPixel(*page_, 527, 111) != Red);
        QVERIFY(MapPixel(*page_, 524, 114) != Red);
        // The cross-hair lines through it reach the picture's edges.
        for (const QPoint point :
             {QPoint(0, 111), QPoint(999, 111), QPoint(524, 0), QPoint(524, 499), QPoint(300, 111)})
            QVERIFY(IsCrossHairOver(MapPixel(*page_, point.x(), point.y()),
                                    map.pixel(point.x(), point.y())));
        QCOMPARE(MapPixel(*page_, 300, 300), map.pixel(300, 300));
        // Nearly full and waxing: lit on the right, the left limb still a sliver dark.
        const QImage moon = MoonPicture(*page_);
        QCOMPARE(moon.size(), QSize(60, 60));
        QCOMPARE(moon.pixel(48, 30), MoonYellow);
        QCOMPARE(moon.pixel(30, 30), MoonYellow);
        QCOMPARE(qAlpha(moon.pixel(2, 2)), 0);
    }

    void TextUsesTheUsersDecimalSeparator() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        page_->RefreshGeo();
        QVERIFY(
            page_->lblGeo->text().startsWith(QStringLiteral("Sun: Azimuth: 139,2°, Alt: 58,3°")));
        QVERIFY(page_->lblGeo->text().contains(QStringLiteral("Phase: 99,5%")));
    }

    void MapStaysCleanUnderEveryRedraw() {
        page_->RefreshGeo();
        const QImage clean = page_->GeoMapBitmap;
        state_.Config.Lat = -335; // 33.5° south
        state_.Config.Lon = -706;
        page_->RefreshGeo();
        QCOMPARE(MapPixel(*page_, 524, 111), clean.pixel(524, 111));
        QCOMPARE(MapPixel(*page_, 304, 343), Red);
        QCOMPARE(page_->GeoMapBitmap, clean);
        QVERIFY(page_->GeoMapBitmap.pixel(304, 343) != Red);
    }

    void ClockThatNamesNoMomentShowsNoSky() {
        page_->RefreshGeo();
        SetClock(state_.Info, 2024, 6, 21, 25, 99);
        page_->RefreshGeo();
        QCOMPARE(page_->lblGeo->text(), QString());
        QCOMPARE(LitPixels(MoonPicture(*page_)), 0);
        // The map still follows the place.
        QCOMPARE(MapPixel(*page_, 524, 111), Red);
    }

    void RiseAndSetTimesNameTheirOffset_data() {
        QTest::addColumn<int>("month");
        QTest::addColumn<QString>("zone");
        QTest::newRow("summer time") << 6 << QStringLiteral("Rise and set times in UTC+02:00");
        QTest::newRow("standard time") << 1 << QStringLiteral("Rise and set times in UTC+01:00");
    }

    void RiseAndSetTimesNameTheirOffset() {
        QFETCH(int, month);
        QFETCH(QString, zone);
        SetClock(state_.Info, 2024, month, 21, 12, 0);
        page_->RefreshGeo();
        QCOMPARE(page_->lblGeoZone->text(), zone);
        SetClock(state_.Info, 2024, month, 21, 25, 99);
        page_->RefreshGeo();
        QCOMPARE(page_->lblGeoZone->text(), QString());
    }

    void SkippedHourStillHasASky() {
        // Berlin springs forward from 02:00 to 03:00 on 31 March 2024; the controller's clock
        // may still read 02:30, with the offset of the hour before.
        SetClock(state_.Info, 2024, 3, 31, 2, 30);
        page_->RefreshGeo();
        const GeoMoment moment{2024, 3, 31, 2, 30};
        QCOMPARE(page_->lblGeo->text(), BuildGeoReport(50.1, 8.5, moment, 1, QLocale()).Text);
        QVERIFY(page_->lblGeo->text().startsWith(QStringLiteral("Sun: Azimuth: ")));
        QVERIFY(LitPixels(MoonPicture(*page_)) > 0);
    }

    // ---- Map projection --------------------------------------------------------------------

    void ClickStoresThePlace_data() {
        QTest::addColumn<QPoint>("picturePoint");
        QTest::addColumn<int>("lat");
        QTest::addColumn<int>("lon");
        QTest::addColumn<QString>("latText");
        QTest::addColumn<QString>("lonText");
        QTest::newRow("top-left corner") << QPoint(0, 0) << 900 << -1800 << "90"
                                         << "-180";
        QTest::newRow("bottom-right corner") << QPoint(1000, 500) << -900 << 1800 << "-90"
                                             << "180";
        QTest::newRow("origin") << QPoint(500, 250) << 0 << 0 << "0"
                                << "0";
        QTest::newRow("near the default") << QPoint(523, 111) << 500 << 83 << "50"
                                          << "8.3";
        QTest::newRow("left of and below the map") << QPoint(-40, 620) << -900 << -1800 << "-90"
                                                   << "-180";
        QTest::newRow("right of and above the map") << QPoint(1300, -1) << 900 << 1800 << "90"
                                                    << "180";
    }
    void ClickStoresThePlace() {
        QFETCH(QPoint, picturePoint);
        QFETCH(int, lat);
        QFETCH(int, lon);
        QFETCH(QString, latText);
        QFETCH(QString, lonText);
        page_->imgGeoMouseDown(picturePoint);
        QCOMPARE(int(state_.Config.Lat), lat);
        QCOMPARE(int(state_.Config.Lon), lon);
        QCOMPARE(page_->edtLat->text(), latText);
        QCOMPARE(page_->edtLon->text(), lonText);
        QVERIFY(state_.Test(rqSetConfig));
    }

    void ClickThroughTheViewMovesTheMarker() {
        // The edit has the focus before the click; the click takes it, so the edit is written.
        Focus(page_->edtLat);
        page_->edtLat->setText(QStringLiteral("12"));
        state_.Clear(~0u);
        auto* view = page_->imgGeo;
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          ViewportPointOf(*view, QPoint(523, 111)));
        QCOMPARE(int(state_.Config.Lat), 500);
        QCOMPARE(int(state_.Config.Lon), 83);
        QCOMPARE(page_->edtLat->text(), QStringLiteral("50"));
        QVERIFY(state_.Test(rqSetConfig));
        // 8.3° E and 50.0° N: x 523.06, y 111.1.
        QCOMPARE(MapPixel(*page_, 523, 111), Red);
        QVERIFY(MapPixel(*page_, 526, 111) != Red);
    }

    void ViewFitsZoomsAndScrolls() {
        ScalableImageView view(nullptr);
        view.setFrameShape(QFrame::NoFrame);
        view.SetPicture(page_->GeoMapBitmap);
        view.setAttribute(Qt::WA_DontShowOnScreen);
        view.show();
        // Twice the size, with room to spare at the sides: centred.
        view.resize(2400, 1000);
        // The scroll bars of the start size go once the event loop has run.
        QTRY_COMPARE_WITH_TIMEOUT(view.viewport()->size(), view.size(), 2000);
        QCOMPARE(view.Scale(), 2.0);
        QCOMPARE(view.ControlToPicture(QPoint(200 + 1047, 223)), QPoint(523, 111));
        QCOMPARE(view.ControlToPicture(QPoint(199, 0)).x(), -1);
        // Smaller than the picture: scaled down to fit, no scroll bars.
        view.resize(750, 375);
        QTRY_COMPARE_WITH_TIMEOUT(view.viewport()->size(), view.size(), 2000);
        QCOMPARE(view.Scale(), 0.75);
        QCOMPARE(view.ControlToPicture(QPoint(393, 84)), QPoint(524, 112));
        QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
        // Below half the size it stops shrinking and scrolls instead.
        view.resize(200, 100);
        QCOMPARE(view.Scale(), ScalableImageView::MinimumScale);
        QTRY_VERIFY_WITH_TIMEOUT(view.horizontalScrollBar()->isVisible(), 2000);
        QCOMPARE(view.horizontalScrollBar()->maximum(), 500 - view.viewport()->width());
        view.horizontalScrollBar()->setValue(100);
        view.verticalScrollBar()->setValue(20);
        QCOMPARE(view.ControlToPicture(QPoint(0, 0)), QPoint(200, 40));
    }

    void MouseOverTheMapReportsThePlace() {
        QSignalSpy status(page_.get(), &GeoPage::StatusPanelText);
        page_->imgGeoMouseEnter();
        QCOMPARE(page_->imgGeo->viewport()->cursor().shape(), Qt::CrossCursor);
        page_->imgGeoMouseMove(QPoint(523, 111));
        QCOMPARE(status.takeLast().at(0).toString(),
                 QStringLiteral("Mouse position: Latitude: 50°, Longitude: 8.3°"));
        page_->imgGeoMouseLeave();
        QCOMPARE(status.takeLast().at(0).toString(), QString());
        QCOMPARE(page_->imgGeo->viewport()->cursor().shape(), Qt::ArrowCursor);
        // Moving changes nothing in the records.
        QCOMPARE(int(state_.Config.Lat), 501);
        QCOMPARE(state_.Test(rqSetConfig), false);
    }

    // ---- Moon picture ----------------------------------------------------------------------

    void MoonPhases() {
        // New: a sliver without area.
        QCOMPARE(LitPixels(Moon(0, 0)), 0);
        // Half, not rotated: the left half, as when waning.
        const QImage waning = Moon(0.5f, 0);
        QCOMPARE(waning.pixel(15, 30), MoonYellow);
        QCOMPARE(waning.pixel(28, 20), MoonYellow);
        QCOMPARE(qAlpha(waning.pixel(35, 30)), 0);
        QCOMPARE(qAlpha(waning.pixel(9, 30)), 0); // outside the limb
        // Rotated by 180°: the right half, as when waxing.
        const QImage waxing = Moon(0.5f, 180);
        QCOMPARE(waxing.pixel(45, 30), MoonYellow);
        QCOMPARE(qAlpha(waxing.pixel(25, 30)), 0);
        // Rotated by 90°: the top half.
        const QImage top = Moon(0.5f, 90);
        QCOMPARE(top.pixel(30, 15), MoonYellow);
        QCOMPARE(qAlpha(top.pixel(30, 45)), 0);
        // A quarter lit: a crescent between the limb and the terminator 10 pixels in.
        const QImage crescent = Moon(0.25f, 0);
        QCOMPARE(crescent.pixel(15, 30), MoonYellow);
        QCOMPARE(qAlpha(crescent.pixel(25, 30)), 0);
        // Full: the whole disc, and nothing beyond it.
        const QImage full = Moon(1, 0);
        for (const QPoint lit :
             {QPoint(30, 30), QPoint(12, 30), QPoint(48, 30), QPoint(30, 12), QPoint(30, 48)})
            QCOMPARE(full.pixel(lit), MoonYellow);
        for (const QPoint dark : {QPoint(5, 5), QPoint(54, 54), QPoint(30, 52), QPoint(8, 30)})
            QCOMPARE(qAlpha(full.pixel(dark)), 0);
        const int disc = LitPixels(full);
        QVERIFY(std::abs(disc - 1257) < 60); // π r²
        QVERIFY(std::abs(LitPixels(waning) - disc / 2) < 30);
    }

    void MoonFractionOutsideZeroToOneDrawsNothing() {
        QCOMPARE(LitPixels(Moon(1.01f, 0)), 0);
        QCOMPARE(LitPixels(Moon(-0.01f, 0)), 0);
        QCOMPARE(LitPixels(Moon(std::nanf(""), 0)), 0);
    }

    void MoonDoubleClickAsksForTheConfigurationPage() {
        QSignalSpy wanted(page_.get(), &GeoPage::ConfigPageWanted);
        QTest::mouseDClick(page_->imgMoon, Qt::LeftButton);
        QCOMPARE(wanted.count(), 1);
    }

    // ---- Focus rule and the refresh from the records -----------------------------------------

    void HandlersWithoutFocusDoNothing() {
        Focus(page_->btnNow);
        page_->edtLat->setText(QStringLiteral("12"));
        page_->edtLon->setText(QStringLiteral("34"));
        page_->edtTime->setText(QStringLiteral("7:05"));
        page_->trbTime->setValue(600);
        page_->dtp->setDate(QDate(2030, 1, 2));
        QCOMPARE(int(state_.Config.Lat), 501);
        QCOMPARE(int(state_.Config.Lon), 85);
        QCOMPARE(state_.Info.Hour, 12);
        QCOMPARE(state_.Info.Day, 21);
        QCOMPARE(state_.Snapshot(), 0u);
        QCOMPARE(page_->lblGeo->text(), QString());
    }

    void TypedPlaceIsStored() {
        Focus(page_->edtLat);
        page_->edtLon->setText(QStringLiteral("-70.64"));
        page_->edtLat->setText(QStringLiteral("-33.25"));
        QCOMPARE(int(state_.Config.Lat), -332); // ties to even
        QCOMPARE(int(state_.Config.Lon), -706);
        QVERIFY(state_.Test(rqSetConfig));
        QCOMPARE(MapPixel(*page_, 304, 342), Red);
        QVERIFY(page_->lblGeo->text().startsWith(QStringLiteral("Sun: ")));
        // Text that is not a number changes nothing.
        state_.Clear(~0u);
        Focus(page_->edtLon);
        page_->edtLon->setText(QStringLiteral("east"));
        QCOMPARE(int(state_.Config.Lon), -706);
        QCOMPARE(state_.Snapshot(), 0u);
        // Nor does a number beyond the field's range.
        page_->edtLon->setText(QStringLiteral("1e300"));
        QCOMPARE(int(state_.Config.Lon), -706);
        QCOMPARE(state_.Snapshot(), 0u);
    }

    void RefreshLeavesAFocusedControlAlone() {
        Focus(page_->edtLat);
        QTest::keyClicks(page_->edtLat, QStringLiteral("4"));
        state_.Config.Lon = 123;
        page_->ShowPlace(state_.Config);
        QCOMPARE(page_->edtLat->text(), QStringLiteral("4"));
        QCOMPARE(page_->edtLon->text(), QStringLiteral("12.3"));

        Focus(page_->trbTime);
        page_->ShowClock(state_.Info);
        QCOMPARE(page_->trbTime->value(), 0);
        QCOMPARE(page_->edtTime->text(), QStringLiteral("12:00"));
    }

    void TimeSliderSetsTheClock() {
        Focus(page_->trbTime);
        page_->trbTime->setValue(12 * 60); // the time Info already holds
        QCOMPARE(state_.Snapshot(), 0u);
        page_->trbTime->setValue(425);
        QCOMPARE(state_.Info.Hour, 7);
        QCOMPARE(state_.Info.Minute, 5);
        QCOMPARE(page_->edtTime->text(), QStringLiteral("07:05"));
        QVERIFY(state_.Test(rqSetTime));
        QVERIFY(page_->lblGeo->text().startsWith(QStringLiteral("Sun: ")));
    }

    void TypedTimeIsStoredAsTyped() {
        Focus(page_->edtTime);
        page_->edtTime->clear();
        QTest::keyClicks(page_->edtTime, QStringLiteral("7:5"));
        QCOMPARE(state_.Info.Hour, 7);
        QCOMPARE(state_.Info.Minute, 5);
        QCOMPARE(page_->trbTime->value(), 425);
        QCOMPARE(page_->edtTime->text(), QStringLiteral("7:5"));
        QVERIFY(state_.Test(rqSetTime));
        // Without a colon, or with a part that is not a number: nothing, and no error.
        state_.Clear(~0u);
        for (const char* text : {"8", "a:5", "8:", "8:5:1"})
            page_->edtTime->setText(QString::fromLatin1(text));
        QCOMPARE(state_.Info.Hour, 7);
        QCOMPARE(state_.Snapshot(), 0u);
        QVERIFY(page_->edtTime->styleSheet().isEmpty());
    }

    // A time the clock cannot take is marked with its range and logged once, never stored;
    // leaving the edit shows the stored time again.
    void TypedTimeOutOfRangeIsRefused() {
        QStringList logged;
        SetRefusalLog(page_.get(), [&logged](const QString& text) { logged << text; });
        Focus(page_->edtTime);
        page_->edtTime->clear();
        QTest::keyClicks(page_->edtTime, QStringLiteral("25:99"));
        QCOMPARE(state_.Info.Hour, 12);
        QCOMPARE(state_.Snapshot(), 0u);
        QVERIFY(!page_->edtTime->styleSheet().isEmpty());
        QCOMPARE(page_->edtTime->toolTip(), QStringLiteral("Allowed: 00:00 – 23:59"));
        QCOMPARE(logged, QStringList{QStringLiteral("Not taken: 25:9 is outside 00:00 – 23:59.")});
        Focus(page_->trbTime);
        QTRY_COMPARE(page_->edtTime->text(), QStringLiteral("12:00"));
        QVERIFY(page_->edtTime->styleSheet().isEmpty());
        QCOMPARE(logged.size(), 1);
    }

    void PickedDateSetsTheClock() {
        Focus(page_->dtp);
        page_->dtp->setDate(QDate(2025, 12, 24));
        QCOMPARE(state_.Info.Year, 25);
        QCOMPARE(state_.Info.Month, 12);
        QCOMPARE(state_.Info.Day, 24);
        QCOMPARE(state_.Info.Hour, 12);
        QVERIFY(state_.Test(rqSetTime));
        QVERIFY(page_->lblGeo->text().startsWith(QStringLiteral("Sun: ")));
    }

    void DateFromTheCalendarPopupCounts() {
        page_->dtp->setDate(QDate(2024, 6, 21));
        Focus(page_->dtp);
        // The drop-down arrow at the right end.
        QTest::mouseClick(page_->dtp, Qt::LeftButton, {},
                          QPoint(page_->dtp->width() - 5, page_->dtp->height() / 2));
        QCalendarWidget* calendar = page_->dtp->calendarWidget();
        QTRY_VERIFY_WITH_TIMEOUT(calendar->isVisible(), 2000);
        // The keyboard focus is in the popup's calendar, a window of its own.
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused && focused->window() != page_->window());
        QTest::keyClick(focused, Qt::Key_Right);
        QTest::keyClick(focused, Qt::Key_Return);
        QCOMPARE(page_->dtp->date(), QDate(2024, 6, 22));
        QCOMPARE(state_.Info.Day, 22);
        QVERIFY(state_.Test(rqSetTime));
    }

    void NowTakesThePcClock() {
        state_.Config.TimeLapse = 50;
        QSignalSpy realtime(page_.get(), &GeoPage::RealtimeSet);
        const QDateTime before = QDateTime::currentDateTime();
        QTest::mouseClick(page_->btnNow, Qt::LeftButton);
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(state_.Config.TimeLapse, 1);
        QCOMPARE(realtime.count(), 1);
        QVERIFY(state_.Test(rqSetTime | rqSetConfig));
        const InfoBlock& info = state_.Info;
        const QDateTime clock(QDate(2000 + info.Year, info.Month, info.Day),
                              QTime(info.Hour, info.Minute, info.Second, info.Centisecond * 10));
        // Centiseconds, rounded.
        QVERIFY(clock >= before.addMSecs(-10));
        QVERIFY(clock <= after.addMSecs(10));
        QCOMPARE(info.TimeExtra, 0);
        QCOMPARE(page_->dtp->date(), clock.date());
        QCOMPARE(page_->edtTime->text(), clock.toString(QStringLiteral("HH:mm")));
        QCOMPARE(page_->trbTime->value(), info.Hour * 60 + info.Minute);
        QVERIFY(page_->lblGeo->text().startsWith(QStringLiteral("Sun: ")));
    }

    // ---- In the window ---------------------------------------------------------------------

    void WindowWiresThePage() {
        page_.reset();
        TfrmPHORIN window({QStringLiteral("-english")});
        window.ProgramDir = folder_.path();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        DeviceState& state = window.State();
        // At start: the default place and the PC clock, real time.
        QCOMPARE(int(state.Config.Lat), 501);
        QCOMPARE(int(state.Config.Lon), 85);
        QCOMPARE(state.Config.TimeLapse, 1);
        QVERIFY(state.Test(rqSetTime));
        QCOMPARE(state.Info.Year, QDate::currentDate().year() - 2000);

        auto* pc = window.findChild<QTabWidget*>(QStringLiteral("pc"));
        auto* page = window.findChild<GeoPage*>(QStringLiteral("tsGeo"));
        auto* sb = window.findChild<StatusPanels*>(QStringLiteral("sb"));
        QVERIFY(pc && page && sb);

        // Showing the page computes it.
        SetClock(state.Info, 2024, 6, 21, 12, 0);
        window.ShowPage(page);
        QCOMPARE(page->lblGeo->text(), Midsummer);
        // So does every status refresh while it is shown.
        state.Config.Lat = 0;
        state.Config.Lon = 0;
        window.RefreshStatus();
        QCOMPARE(page->imgGeo->Picture().pixel(500, 250), Red);

        page->imgGeoMouseMove(QPoint(500, 250));
        QCOMPARE(sb->PanelText(StatusPanel::Status),
                 QStringLiteral("Mouse position: Latitude: 0°, Longitude: 0°"));

        QTest::mouseDClick(page->imgMoon, Qt::LeftButton);
        QCOMPARE(pc->currentWidget()->objectName(), QStringLiteral("tsConfig"));

        // "Set current time and date" shows the page and takes the PC clock.
        state.Clear(~0u);
        QAction* setTimeDate = window.findChild<QAction*>(QStringLiteral("mnuSetTimeDate"));
        setTimeDate->setEnabled(true);
        setTimeDate->trigger();
        QCOMPARE(pc->currentWidget(), page);
        QVERIFY(state.Test(rqSetTime | rqSetConfig));
        QCOMPARE(state.Info.Year, QDate::currentDate().year() - 2000);
    }
};

QTEST_MAIN(GeoPageTest)
#include "geo_page_test.moc"
