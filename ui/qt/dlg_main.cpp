// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/dlg_main.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QSignalBlocker>
#include <QSlider>

#include <functional>
#include <tuple>

#include "app/app_model.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/dialog_keys.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/encoder_format_dialog.h"
#include "ui/qt/meridian_flip_dialog.h"
#include "ui/qt/widget_controls.h"
#include "ui/qt/window_manager_close.h"
#include "ui/rules/dialog_texts.h"
#include "ui/rules/main_dialog_commands.h"
#include "ui/rules/main_dialog_presenter.h"
#include "ui/rules/port_list.h"

// Resources of a static library must be registered by name, outside any namespace.
static void registerArrowBitmaps() { Q_INIT_RESOURCE(arrows); }

namespace zr8::ui {

using rules::main_ids::kSpeedMax;
using rules::main_ids::kSpeedStart;

class PortListBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> beforePopup;

protected:
    void showPopup() override {
        if (beforePopup) beforePopup();
        QComboBox::showPopup();
    }
};

namespace {

// The notification event: a code and one integer, nothing else.
class UserMessageEvent : public QEvent {
public:
    static QEvent::Type type() {
        static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
        return registered;
    }
    UserMessageEvent(int32_t code, int32_t argument)
        : QEvent(type()), code(code), argument(argument) {}
    const int32_t code;
    const int32_t argument;
};

QPushButton* button(QWidget* parent, const DialogUnits& du, int id, const char* text, int x, int y,
                    int w, int h) {
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    placeControl(b, du, id, x, y, w, h);
    return b;
}

}  // namespace

class DlgMain::View final : public rules::iMainDialogView {
public:
    View(DlgMain& dialog, iZR6Control& link, AppModel& model, PortCatalogue& ports)
        : dialog(dialog), widgets(dialog), portList(ports), presenter(*this, link, model) {}

    rules::iDialogControls& controls() override { return widgets; }
    uint8_t selectedPortNumber() const override { return portList.selectedNumber(); }
    void refuse(const rules::Refusal& refusal) override { showRefusal(&dialog, widgets, refusal); }
    std::optional<WireFormat> runFormatDialog(const EncoderConfig& current) override {
        if (dialog.ending_) return std::nullopt;
        std::optional<WireFormat> format = runEncoderFormatDialog(&dialog, current);
        if (dialog.ending_) return std::nullopt;  // closed with the program, Ok or not
        return format;
    }
    std::optional<FlipChoice> runFlipDialog(int flipCase) override {
        if (dialog.ending_) return std::nullopt;
        const FlipChoice choice = runMeridianFlipDialog(&dialog, flipCase);
        if (dialog.ending_) return std::nullopt;  // closed unanswered with the program
        return choice;
    }
    void runAbout() override { runAboutDialog(&dialog); }

    DlgMain& dialog;
    WidgetControls widgets;
    rules::PortList portList;
    rules::MainDialogPresenter presenter;
};

DlgMain::DlgMain(iZR6Control& link, AppModel& model, PortCatalogue& ports, QWidget* parent)
    : QDialog(parent), model_(model), view_(std::make_unique<View>(*this, link, model, ports)) {
    registerArrowBitmaps();
    setObjectName(QStringLiteral("DlgMain"));
    setWindowTitle(QString::fromStdString(rules::mainDialogCaption()));
    setFont(dialogFont());
    buildControls();
    clearDefaultButtons(this);
    // Every control that sends something hands its click to the rules.
    for (const rules::ControlCommand& command : rules::kControlCommands) {
        const int id = command.controlId;
        connect(qobject_cast<QAbstractButton*>(view_->widgets.control(id)),
                &QAbstractButton::clicked, this, [this, id] { view_->presenter.onCommand(id); });
    }
    view_->presenter.onInit();
    showPortList();
}

DlgMain::~DlgMain() = default;

iMainDlgCallback& DlgMain::callback() { return view_->presenter; }

void DlgMain::buildControls() {
    const DialogUnits du(font());
    placeDialog(this, du, 45, 45, 456, 236);

    // Creation order is the focus order: the port list takes the focus first.
    placeLabel(this, du, "Port:", Qt::AlignRight, 4, 7, 32, 12);
    portBox_ = new PortListBox(this);
    placeControl(portBox_, du, IdPortList, 38, 5, 60, 12);
    // The list's closed height is the toolkit's; the width is the template's.
    portBox_->setGeometry(du.toPixelsX(38), du.toPixelsY(5) - 1, du.toPixelsX(60),
                          portBox_->sizeHint().height());
    portBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    portBox_->view()->setMinimumWidth(du.toPixelsX(200));
    portBox_->setMaxVisibleItems(16);
    portBox_->beforePopup = [this] {
        view_->portList.refresh();
        showPortList();
    };
    connect(portBox_, &QComboBox::activated, this, &DlgMain::onPortActivated);
    connect(portBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
        view_->portList.select(index);
        portBox_->setToolTip(portBox_->currentText());  // the list is narrower than its texts
    });

    placeControl(new QCheckBox(QStringLiteral("115200 Baud"), this), du, IdBaud115200, 105, 6, 80,
                 12);
    button(this, du, IdConnect, "Connect", 200, 5, 50, 13);
    button(this, du, IdDisconnect, "Disconnect", 252, 5, 50, 13);
    button(this, du, IdAbout, "About...", 310, 5, 52, 13);
    placeReadOnlyEdit(this, du, IdStatusLine, 4, 20, 306, 12);
    placeReadOnlyEdit(this, du, IdSecondStatus, 312, 20, 140, 12);

    // The arrow cross with its compass letters.
    placeLabel(this, du, "N", Qt::AlignHCenter, 40, 35, 23, 10);
    placeLabel(this, du, "S", Qt::AlignHCenter, 40, 95, 23, 10);
    placeLabel(this, du, "W", Qt::AlignHCenter, 83, 67, 10, 10);
    placeLabel(this, du, "E", Qt::AlignHCenter, 12, 67, 10, 10);
    button(this, du, IdStop, "Stop", 40, 60, 23, 19);
    struct Arrow {
        int id;
        const char* bitmap;
        int x, y, w, h;
    };
    const Arrow arrows[] = {
        {IdUp, ":/arrows/arrow102_up.pbm", 40, 45, 23, 14},
        {IdDown, ":/arrows/arrow103_down.pbm", 40, 80, 23, 14},
        {IdLeft, ":/arrows/arrow100_left.pbm", 23, 60, 16, 19},
        {IdRight, ":/arrows/arrow101_right.pbm", 65, 60, 16, 19},
    };
    for (const Arrow& a : arrows) {
        QPushButton* b = button(this, du, a.id, "", a.x, a.y, a.w, a.h);
        b->setIcon(QIcon(QPixmap(QString::fromLatin1(a.bitmap))));
        b->setIconSize(QSize(16, 16));
    }
    auto* speed = new QSlider(Qt::Horizontal, this);
    placeControl(speed, du, IdSpeed, 6, 102, 92, 12);
    speed->setRange(0, kSpeedMax);
    speed->setValue(kSpeedStart);
    speed->setTickPosition(QSlider::TicksBelow);
    speed->setTickInterval(1);
    speed->setPageStep((kSpeedMax + 1) / 5);  // a fifth of the range, as trackbars page

    button(this, du, IdEncoderFormat, "Encoder data format", 8, 120, 86, 14);
    button(this, du, IdSetCalibration, "Set enc. calibration", 8, 136, 86, 14);
    button(this, du, IdReadEncoders, "Read encoders", 8, 152, 86, 14);
    for (const auto& [id, text, x] :
         {std::tuple{IdTrackOn, "Track on", 8}, std::tuple{IdTrackOff, "Track off", 52}}) {
        auto* latch = new LatchButton(QString::fromLatin1(text), this);
        latch->setCheckable(true);
        placeControl(latch, du, id, x, 180, 42, 15);
    }
    button(this, du, IdSaveSettings, "Save settings into ZR.", 8, 200, 86, 25);

    buildAxisGroup("RA configuration", 0, IdRaGearRatio);
    buildAxisGroup("Dec configuration", 176, IdDecGearRatio);

    auto* positions = new QGroupBox(QStringLiteral("Position measured by encoders"), this);
    placeControl(positions, du, 104, 144, 348, 88);
    positions->lower();
    placeLabel(this, du, "System", Qt::AlignHCenter, 192, 164, 70, 10);
    placeLabel(this, du, "Arcseconds", Qt::AlignHCenter, 264, 164, 70, 10);
    placeLabel(this, du, "Degs / min / sec", Qt::AlignHCenter, 336, 164, 70, 10);
    placeLabel(this, du, "RA encoder:", Qt::AlignRight, 130, 183, 60, 10);
    placeLabel(this, du, "Dec encoder:", Qt::AlignRight, 130, 207, 60, 10);
    for (int base : {IdRaRaw, IdDecRaw}) {
        const int y = base == IdRaRaw ? 181 : 205;
        placeReadOnlyEdit(this, du, base, 192, y, 70, 12);
        placeReadOnlyEdit(this, du, base + 1, 264, y, 70, 12);
        placeReadOnlyEdit(this, du, base + 2, 336, y, 70, 12);
    }
}

void DlgMain::buildAxisGroup(const char* title, int shift, int firstId) {
    const DialogUnits du(font());
    auto* group = new QGroupBox(QString::fromLatin1(title), this);
    placeControl(group, du, 104 + shift, 34, 172, 108);
    group->lower();
    placeLabel(this, du, "Gear ratio:", Qt::AlignRight, 108 + shift, 46, 70, 12);
    placeLabel(this, du, "Microstep resolution:", Qt::AlignRight, 108 + shift, 60, 70, 12);
    placeLabel(this, du, "Encoder resolution:", Qt::AlignRight, 108 + shift, 74, 70, 12);
    placeLabel(this, du, "Encoder offset:", Qt::AlignRight, 108 + shift, 127, 50, 12);
    placeReadOnlyEdit(this, du, firstId + 0, 182 + shift, 44, 88, 12);
    placeReadOnlyEdit(this, du, firstId + 1, 182 + shift, 58, 88, 12);
    placeReadOnlyEdit(this, du, firstId + 3, 182 + shift, 72, 16, 12);
    placeReadOnlyEdit(this, du, firstId + 4, 200 + shift, 72, 70, 12);
    for (int y : {88, 106}) {
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        placeControl(line, du, 108 + shift, y, 164, 1);
        line->setFixedHeight(2);
    }
    placeControl(new QCheckBox(QStringLiteral("Reverse motor"), this), du, firstId + 2, 140 + shift,
                 92, 80, 12);
    placeControl(new QCheckBox(QStringLiteral("Reverse encoder"), this), du, firstId + 5,
                 140 + shift, 110, 80, 12);
    placeControl(new QLineEdit(this), du, firstId + 6, 162 + shift, 125, 86, 12);
}

// ---- port list -------------------------------------------------------------

void DlgMain::showPortList() {
    {
        // Rebuilding moves the box's index; the list keeps its own choice.
        const QSignalBlocker quiet(portBox_);
        portBox_->clear();
        for (const rules::PortList::Row& row : view_->portList.rows()) {
            portBox_->addItem(QString::fromStdString(row.label));
        }
        portBox_->setCurrentIndex(view_->portList.selectedRow());
    }
    portBox_->setToolTip(portBox_->currentText());
}

void DlgMain::onPortActivated(int index) {
    rules::PortList& list = view_->portList;
    if (!list.select(index)) return;
    bool ok = false;
    const QString path =
        QInputDialog::getText(this, QString::fromLatin1(rules::kDevicePathTitle),
                              QString::fromLatin1(rules::kDevicePathPrompt), QLineEdit::Normal,
                              QString::fromLatin1(rules::kDevicePathStart), &ok);
    std::string message;
    const std::string typed = path.toStdString();
    if (!list.enterPath(ok ? std::optional<std::string_view>(typed) : std::nullopt, message)) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(message));
    }
    showPortList();
}

// ---- events ----------------------------------------------------------------

bool DlgMain::postUserMessage(int32_t code, int32_t argument) {
    QCoreApplication::postEvent(this, new UserMessageEvent(code, argument));
    return true;
}

bool DlgMain::event(QEvent* event) {
    if (event->type() == UserMessageEvent::type()) {
        const auto* message = static_cast<UserMessageEvent*>(event);
        model_.dispatch(message->code, message->argument);
        return true;
    }
    return QDialog::event(event);
}

// The window manager's close must end the program even while a secondary
// dialog blocks this window, where the toolkit would drop it.
bool DlgMain::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (isWindowManagerClose(eventType, message) && QApplication::activeModalWidget() != this) {
        end();
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}

// Closing is the only way out; nothing is sent to the link.
void DlgMain::closeEvent(QCloseEvent* event) {
    end();
    event->accept();
}

void DlgMain::end() {
    ending_ = true;
    // Innermost first; each one's loop returns as the stack unwinds, then ours.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (modal == this) break;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        if (modal->isVisible()) modal->hide();
    }
    done(1);
}

void DlgMain::keyPressEvent(QKeyEvent* event) {
    // Escape does not close the window; Enter outside a button does nothing.
    if (event->key() == Qt::Key_Escape || isEnterKey(event)) {
        if (isEnterKey(event)) clickFocusedButton(this);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace zr8::ui
