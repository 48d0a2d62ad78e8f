// SPDX-License-Identifier: GPL-3.0-or-later
// One full redraw of the visualisation (128 schedule rows) and of the chart (forty samples) at
// 1280 × 720, offscreen: the drawing into the picture alone, and the drawing with the
// control's repaint. Reports the median and the 99th percentile in milliseconds.
//
//     redraw_bench [REDRAWS]

#include "bench_support.h"
#include "main/frm_phorin.h"
#include "main/pages/chart_page.h"
#include "main/pages/visualize_page.h"
#include "main/views/chart_view.h"
#include "main/views/visualize_view.h"

#include <QApplication>
#include <QDateTime>

#include <cmath>

using namespace zel;
using namespace zel::bench;

namespace {

constexpr int DefaultRedraws = 500;
constexpr int Rows = 128;
const QSize PictureSize(1280, 720);

// A day of light: rows spread over the day, four channels rising and falling out of step.
std::vector<ScheduleRow> DaySchedule() {
    std::vector<ScheduleRow> rows(Rows);
    for (int k = 0; k < Rows; ++k) {
        const int minutes = k * 1440 / Rows;
        rows[size_t(k)].Hour = int8_t(minutes / 60);
        rows[size_t(k)].Minute = int8_t(minutes % 60);
        rows[size_t(k)].Alt = int16_t(std::sin((k * 2.0 / Rows - 0.5) * 3.14159) * 10000);
        for (int c = 0; c < ChannelCount; ++c)
            rows[size_t(k)].Color16[c] = int16_t(2048 + 2047 * std::sin(minutes / 229.0 + c * 1.3));
    }
    return rows;
}

ChartData Temperatures() {
    ChartData data;
    for (int i = 0; i < ChartSampleCount; ++i)
        data.Chart.Sample[i] = int16_t(i % 9 == 4 ? NoMeasurement : 245 + (i * 7) % 13);
    data.Interval = 15;
    data.End = ChartEnd(InfoBlock{}, 15, QDateTime::currentDateTime());
    return data;
}

template <typename Redraw> std::vector<double> Timed(int count, Redraw redraw) {
    std::vector<double> milliseconds;
    milliseconds.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const Clock::time_point start = Clock::now();
        redraw(i);
        milliseconds.push_back(SecondsBetween(start, Clock::now()) * 1e3);
    }
    return milliseconds;
}

double Percentile99(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(std::ceil(values.size() * 0.99)) - 1)];
}

void Report(const QString& name, const std::vector<double>& milliseconds) {
    Figure(name + QStringLiteral("_median_ms"), Median(milliseconds));
    Figure(name + QStringLiteral("_p99_ms"), Percentile99(milliseconds));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int count = RunCount(argc, argv, DefaultRedraws);
    Figure(QStringLiteral("redraws"), count, 0);
    Figure(QStringLiteral("schedule_rows"), Rows, 0);

    // The drawings alone, into a picture of the size.
    const std::vector<ScheduleRow> rows = DaySchedule();
    std::vector<PointCacheEntry> cache;
    QImage picture(PictureSize, QImage::Format_ARGB32_Premultiplied);
    const QFont font = QApplication::font();
    VisualizeRenderer renderer;
    VisualizeScene scene;
    scene.ColorCodes = {7, 2, 3, 11};
    scene.Marker = 725;
    Report(QStringLiteral("visualize_time_view"), Timed(count, [&](int i) {
               scene.Visualised = i % ChannelCount;
               scene.DragPoint = i % Rows;
               renderer.Draw(picture, font, rows, scene, cache);
           }));
    scene.Geo = true;
    scene.Marker = 150;
    Report(QStringLiteral("visualize_geo_view"), Timed(count, [&](int i) {
               scene.Visualised = i % ChannelCount;
               renderer.Draw(picture, font, rows, scene, cache);
           }));
    const ChartData chart = Temperatures();
    Report(QStringLiteral("chart"), Timed(count, [&](int) { DrawChart(picture, font, chart); }));

    // The pages in the window, each redraw painted on the screen before the next.
    TfrmPHORIN window({QStringLiteral("-english")});
    window.State().ResizeSchedule(Rows);
    window.State().Schedule = rows;
    window.State().Config.Mode = ModeAuto;
    window.State().Expert.ChartInterval = 15;
    window.State().Chart = chart.Chart;
    window.SetConnectedState(true);
    window.show();
    auto* visualize = window.findChild<VisualizePage*>(QStringLiteral("tsVisualize"));
    window.ShowPage(visualize);
    window.resize(window.size() + PictureSize - visualize->img->size());
    RunUntil([&] { return visualize->img->size() == PictureSize; }, 5000);
    Figure(QStringLiteral("window_picture_width"), visualize->img->width(), 0);
    Figure(QStringLiteral("window_picture_height"), visualize->img->height(), 0);
    Report(QStringLiteral("visualize_page_redraw_and_paint"), Timed(count, [&](int) {
               visualize->Redraw();
               visualize->img->repaint();
           }));
    auto* chartPage = window.findChild<ChartPage*>(QStringLiteral("tsTemp"));
    window.ShowPage(chartPage);
    window.resize(window.size() + PictureSize - chartPage->imgTemp->size());
    RunUntil([&] { return chartPage->imgTemp->size() == PictureSize; }, 5000);
    Report(QStringLiteral("chart_page_redraw_and_paint"), Timed(count, [&](int) {
               chartPage->RefreshChart();
               chartPage->imgTemp->repaint();
           }));
    return 0;
}
