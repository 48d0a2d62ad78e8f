#include "main/pages/chart_page.h"

#include "cfg/conversions.h"
#include "lang/translate.h"
#include "main/widgets/file_dialog.h"
#include "main/widgets/widgets.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QToolTip>
#include <QVBoxLayout>

#include <stdexcept>

namespace zel {

namespace {
const QString PngFilter = QStringLiteral("PNG (*.png)");
const QString CsvFilter = QStringLiteral("CSV (*.csv)");

// What an empty chart's text depends on: the samples, source, interval and clock.
constexpr uint32_t ChartBlocks = rqGetChart | rqGetExpert | rqGetInfo;

[[noreturn]] void CannotWrite(const QString& path, const QString& reason) {
    throw std::runtime_error(QStringLiteral("Cannot write %1: %2").arg(path, reason).toStdString());
}
} // namespace

ChartPage::ChartPage(DeviceState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setObjectName(QStringLiteral("tsTemp"));
    lblChartSource = Named(new QLabel(this), QStringLiteral("lblChartSource"));
    imgTemp = Named(new ImageBox(this), QStringLiteral("imgTemp"));
    imgTemp->setContextMenuPolicy(Qt::CustomContextMenu);
    pumChart = Named(new QMenu(this), QStringLiteral("pumChart"));
    int source = ChartTempWater;
    for (QAction** entry : {&mnuCHMTempWater, &mnuCHMTempBoard, &mnuCHMVoltage, &mnuCHMTempSlave}) {
        *entry = pumChart->addAction(QString());
        (*entry)->setCheckable(true);
        (*entry)->setData(source++);
    }
    Named(mnuCHMTempWater, QStringLiteral("mnuCHMTempWater"));
    Named(mnuCHMTempBoard, QStringLiteral("mnuCHMTempBoard"));
    Named(mnuCHMVoltage, QStringLiteral("mnuCHMVoltage"));
    Named(mnuCHMTempSlave, QStringLiteral("mnuCHMTempSlave"));
    pumChart->addSeparator();
    mnuSaveChart = Named(pumChart->addAction(QString()), QStringLiteral("mnuSaveChart"));
    SaveChartDialog = [this] { return AskChartFile(); };

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblChartSource);
    layout->addWidget(imgTemp, 1);

    connect(imgTemp, &ImageBox::MouseUp, this, [this](Qt::MouseButton button, QPoint point) {
        if (button == Qt::LeftButton && imgTemp->rect().contains(point))
            imgTempClick();
    });
    connect(imgTemp, &ImageBox::MouseMove, this, [this](Qt::MouseButtons buttons, QPoint point) {
        if (buttons == Qt::NoButton)
            imgTempMouseMove(point);
    });
    connect(imgTemp, &ImageBox::MouseEnter, this, &ChartPage::imgTempMouseEnter);
    connect(imgTemp, &ImageBox::MouseLeave, this, &ChartPage::imgTempMouseLeave);
    connect(imgTemp, &ImageBox::Resized, this, &ChartPage::imgTempResize);
    connect(imgTemp, &QWidget::customContextMenuRequested, this, [this](QPoint point) {
        pumChartPopup();
        pumChart->popup(imgTemp->mapToGlobal(point));
    });
}

// The chart shown stays readable and can be saved without a controller; only reading it
// again and choosing its source need one.
void ChartPage::SetConnected(bool connected) {
    if (connected == connected_)
        return;
    connected_ = connected;
    RefreshChart();
}

void ChartPage::RefreshChart() {
    data_.Chart = state_.Chart;
    data_.Mode = state_.Expert.ChartMode;
    data_.Interval = state_.Expert.ChartInterval;
    data_.ConfigFlag = state_.Config.Flag;
    data_.Read = connected_ && state_.IsRead(ChartBlocks);
    data_.SensorMissing = data_.Mode == ChartTempWater && state_.Info.TempWater == NoMeasurement;
    data_.End = ChartEnd(state_.Info, data_.Interval, QDateTime::currentDateTime());
    const QString unit =
        data_.Mode == ChartVoltage ? QStringLiteral("V") : TemperatureUnitText(data_.ConfigFlag);
    // Source and interval stay those last read when the connection ends.
    lblChartSource->setText(
        state_.IsRead(rqGetExpert)
            ? TranslateFormat(QStringLiteral("ChartSource"),
                              {SourceCaption(), unit, QString::number(data_.Interval)})
            : QString());
    imgTemp->Draw([&](QImage& picture) { DrawChart(picture, font(), data_); });
}

// The source's name as the popup menu gives it.
QString ChartPage::SourceCaption() const {
    for (QAction* entry : {mnuCHMTempWater, mnuCHMTempBoard, mnuCHMVoltage, mnuCHMTempSlave})
        if (entry->data().toInt() == data_.Mode)
            return entry->text().remove(QLatin1Char('&'));
    return QString::number(data_.Mode);
}

QString ChartPage::SampleTip(int x) const {
    const std::optional<int> sample = SampleAt(x, imgTemp->width(), data_);
    if (!sample)
        return QString();
    return QLocale().toString(SampleTime(data_, *sample), QLocale::ShortFormat) +
           QStringLiteral("  ") + ChartValueText(data_.Chart.Sample[*sample], data_);
}

void ChartPage::imgTempClick() {
    if (connected_)
        state_.Raise(rqGetChart);
}

void ChartPage::imgTempMouseEnter() {
    imgTemp->setCursor(Qt::CrossCursor);
}

void ChartPage::imgTempMouseLeave() {
    imgTemp->unsetCursor();
}

void ChartPage::imgTempMouseMove(QPoint point) {
    const QString tip = SampleTip(point.x());
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(imgTemp->mapToGlobal(point), tip, imgTemp);
}

void ChartPage::imgTempResize() {
    if (imgTemp->isVisible())
        RefreshChart();
}

void ChartPage::pumChartPopup() {
    for (QAction* entry : {mnuCHMTempWater, mnuCHMTempBoard, mnuCHMVoltage, mnuCHMTempSlave}) {
        entry->setChecked(entry->data().toInt() == state_.Expert.ChartMode);
        entry->setEnabled(connected_);
    }
    mnuCHMTempWater->setEnabled(connected_ && state_.Info.TempWater != NoMeasurement);
}

void ChartPage::mnuCHMClick(QAction* entry) {
    const int source = entry->data().toInt();
    if (source == state_.Expert.ChartMode)
        return;
    state_.Expert.ChartMode = uint8_t(source);
    state_.Raise(rqChartSource);
}

void ChartPage::SaveChart(const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        CannotWrite(path, file.errorString());
    if (QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
        const QByteArray table = ChartCsv(data_);
        if (file.write(table) != table.size())
            CannotWrite(path, file.errorString());
    } else if (!imgTemp->Picture().save(&file, "PNG")) {
        CannotWrite(path, file.errorString());
    }
    if (!file.commit())
        CannotWrite(path, file.errorString());
}

void ChartPage::mnuSaveChartClick() {
    const QString path = SaveChartDialog();
    if (!path.isEmpty())
        SaveChart(path);
}

QString ChartPage::AskChartFile() {
    QFileDialog dialog(this, mnuSaveChart->text().remove(QLatin1Char('&')));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({PngFilter, CsvFilter});
    dialog.setDefaultSuffix(QStringLiteral("png"));
    // The suffix follows the chosen kind when the user typed none.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(filter == CsvFilter ? QStringLiteral("csv")
                                                    : QStringLiteral("png"));
    });
    return ChooseFile(dialog);
}

} // namespace zel
