// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/built_in_controller.h"

#include "discover/port_lines.h"
#include "sim/sim_controller.h"

namespace zel {

namespace {
const QString SimPortName = QStringLiteral("SIM");

// A serial line that knows the simulated controller's port by its short name. The link
// compares the name it gave with Name(), so the line reports the short name back.
class AliasLine final : public SerialLine {
public:
    using PathOf = std::function<QString(const QString&)>;

    AliasLine(std::unique_ptr<SerialLine> line, PathOf pathOf)
        : line_(std::move(line)), pathOf_(std::move(pathOf)) {}

    void SetName(const QString& name) override {
        name_ = name;
        line_->SetName(pathOf_(name));
    }
    QString Name() const override { return name_; }
    void Open() override { line_->Open(); }
    void Close() override { line_->Close(); }
    bool IsOpen() const override { return line_->IsOpen(); }
    void Purge() override { line_->Purge(); }
    void Write(const QByteArray& data) override { line_->Write(data); }
    QByteArray Read(int count) override { return line_->Read(count); }

private:
    std::unique_ptr<SerialLine> line_;
    PathOf pathOf_;
    QString name_;
};
} // namespace

const QString BuiltInController::Entry = QStringLiteral("SIM (simulated controller)");

BuiltInController::BuiltInController() : terminal_(std::make_shared<Terminal>()) {}

BuiltInController::~BuiltInController() = default;

bool BuiltInController::Names(const QString& portEntry) {
    return TthdCom::PortFromEntry(portEntry) == SimPortName;
}

bool BuiltInController::Ensure(QString& error) {
    if (controller_)
        return true;
    try {
        auto controller = std::make_unique<SimController>(WithSeed(SimOptions{}));
        const QString path = controller->Start();
        {
            std::lock_guard<std::mutex> guard(terminal_->mutex);
            terminal_->path = path;
        }
        controller_ = std::move(controller);
        return true;
    } catch (const std::exception& failure) {
        error = QString::fromStdString(failure.what());
        return false;
    }
}

TthdCom::LineFactory BuiltInController::LineFactory() {
    std::shared_ptr<Terminal> terminal = terminal_;
    return [terminal] {
        return std::make_unique<AliasLine>(CreatePortLine(), [terminal](const QString& name) {
            if (name != SimPortName)
                return name;
            std::lock_guard<std::mutex> guard(terminal->mutex);
            return terminal->path;
        });
    };
}

} // namespace zel
