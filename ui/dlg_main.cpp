#include "ui/dlg_main.h"

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
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QSlider>

#include <QAbstractItemView>

#include <functional>
#include <optional>

#include "app/app_model.h"
#include "app/number_input.h"
#include "link/status_codes.h"
#include "link/zr6_control.h"
#include "platform/port_catalogue.h"
#include "text/text_format.h"
#include "ui/about_dialog.h"
#include "ui/dialog_keys.h"
#include "ui/dialog_units.h"
#include "ui/encoder_format_dialog.h"
#include "ui/meridian_flip_dialog.h"
#include "ui/window_manager_close.h"

// Resources of a static library must be registered by name, outside any namespace.
static void registerArrowBitmaps() { Q_INIT_RESOURCE(arrows); }

namespace zr8::ui {

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

constexpr int kOtherDevice = 0;  // list data of the "enter a path" entry

QPushButton* button(QWidget* parent, const DialogUnits& du, int id, const char* text, int x, int y,
                    int w, int h) {
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    placeControl(b, du, id, x, y, w, h);
    return b;
}

QString unsignedText(uint64_t value) { return QString::number(value); }

// 2 to the power bits, the way the link derives counts per revolution.
uint64_t countsPerRev(uint8_t bits) { return uint64_t{1} << (bits % 64); }

QString dmsText(int32_t arcseconds) {
    char buffer[128];
    formatAngleDms(buffer, sizeof buffer, 0, arcseconds, ':', ':');
    return QString::fromLatin1(buffer);
}

}  // namespace

DlgMain::DlgMain(iZR6Control& link, AppModel& model, PortCatalogue& ports, QWidget* parent)
    : QDialog(parent), link_(link), model_(model), ports_(ports) {
    registerArrowBitmaps();
    setObjectName(QStringLiteral("DlgMain"));
    setWindowTitle(QStringLiteral("ZR8 Encoder setup 1.1. (%1)").arg(QString::fromLatin1(kMakerWebAddress)));
    setFont(dialogFont());
    buildControls();
    clearDefaultButtons(this);

    speed_->setRange(0, kSpeedMax);
    speed_->setValue(kSpeedStart);
    trackOn_->setChecked(false);
    trackOff_->setChecked(true);
    enableControls(false);
    fillPortList(0);
}

DlgMain::~DlgMain() = default;

void DlgMain::buildControls() {
    const DialogUnits du(font());
    placeDialog(this, du, 45, 45, 456, 236);

    // Creation order is the focus order: the port list takes the focus first.
    placeLabel(this, du, "Port:", Qt::AlignRight, 4, 7, 32, 12);
    portList_ = new PortListBox(this);
    placeControl(portList_, du, IdPortList, 38, 5, 60, 12);
    // The list's closed height is the toolkit's; the width is the template's.
    portList_->setGeometry(du.toPixelsX(38), du.toPixelsY(5) - 1, du.toPixelsX(60),
                           portList_->sizeHint().height());
    portList_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    portList_->view()->setMinimumWidth(du.toPixelsX(200));
    portList_->setMaxVisibleItems(16);
    portList_->beforePopup = [this] {
        ports_.refresh();
        fillPortList(selectedPort_);
    };
    connect(portList_, &QComboBox::activated, this, &DlgMain::onPortActivated);
    connect(portList_, &QComboBox::currentIndexChanged, this, [this](int index) {
        const int number = index >= 0 ? portList_->itemData(index).toInt() : kOtherDevice;
        if (number != kOtherDevice) selectedPort_ = number;
        portList_->setToolTip(portList_->currentText());  // the list is narrower than its texts
    });

    baud115200_ = new QCheckBox(QStringLiteral("115200 Baud"), this);
    placeControl(baud115200_, du, IdBaud115200, 105, 6, 80, 12);
    connect(button(this, du, IdConnect, "Connect", 200, 5, 50, 13), &QPushButton::clicked, this,
            &DlgMain::onConnect);
    connect(button(this, du, IdDisconnect, "Disconnect", 252, 5, 50, 13), &QPushButton::clicked,
            this, [this] { link_.disconnect(); });
    connect(button(this, du, IdAbout, "About...", 310, 5, 52, 13), &QPushButton::clicked, this,
            [this] { runAboutDialog(this); });
    statusLine_ = placeReadOnlyEdit(this, du, IdStatusLine, 4, 20, 306, 12);
    placeReadOnlyEdit(this, du, IdSecondStatus, 312, 20, 140, 12);

    // The arrow cross with its compass letters.
    placeLabel(this, du, "N", Qt::AlignHCenter, 40, 35, 23, 10);
    placeLabel(this, du, "S", Qt::AlignHCenter, 40, 95, 23, 10);
    placeLabel(this, du, "W", Qt::AlignHCenter, 83, 67, 10, 10);
    placeLabel(this, du, "E", Qt::AlignHCenter, 12, 67, 10, 10);
    connect(button(this, du, IdStop, "Stop", 40, 60, 23, 19), &QPushButton::clicked, this,
            [this] { link_.stopMotion(4); });
    struct Arrow {
        int id;
        const char* bitmap;
        int x, y, w, h;
        uint8_t direction;
    };
    const Arrow arrows[] = {
        {IdUp, ":/arrows/arrow102_up.pbm", 40, 45, 23, 14, 0},
        {IdDown, ":/arrows/arrow103_down.pbm", 40, 80, 23, 14, 1},
        {IdLeft, ":/arrows/arrow100_left.pbm", 23, 60, 16, 19, 3},
        {IdRight, ":/arrows/arrow101_right.pbm", 65, 60, 16, 19, 2},
    };
    for (const Arrow& a : arrows) {
        auto* b = new QPushButton(this);
        placeControl(b, du, a.id, a.x, a.y, a.w, a.h);
        const QPixmap bitmap(QString::fromLatin1(a.bitmap));
        b->setIcon(QIcon(bitmap));
        b->setIconSize(QSize(16, 16));
        const uint8_t direction = a.direction;
        connect(b, &QPushButton::clicked, this, [this, direction] { move(direction); });
    }
    speed_ = new QSlider(Qt::Horizontal, this);
    placeControl(speed_, du, IdSpeed, 6, 102, 92, 12);
    speed_->setTickPosition(QSlider::TicksBelow);
    speed_->setTickInterval(1);
    speed_->setPageStep((kSpeedMax + 1) / 5);  // a fifth of the range, as trackbars page

    connect(button(this, du, IdEncoderFormat, "Encoder data format", 8, 120, 86, 14),
            &QPushButton::clicked, this, &DlgMain::onEncoderFormat);
    connect(button(this, du, IdSetCalibration, "Set enc. calibration", 8, 136, 86, 14),
            &QPushButton::clicked, this, &DlgMain::onSetCalibration);
    connect(button(this, du, IdReadEncoders, "Read encoders", 8, 152, 86, 14),
            &QPushButton::clicked, this, [this] { link_.readEncoders(0); });
    trackOn_ = new LatchButton(QStringLiteral("Track on"), this);
    trackOn_->setCheckable(true);
    placeControl(trackOn_, du, IdTrackOn, 8, 180, 42, 15);
    connect(trackOn_, &QPushButton::clicked, this, [this] { setTracking(true); });
    trackOff_ = new LatchButton(QStringLiteral("Track off"), this);
    trackOff_->setCheckable(true);
    placeControl(trackOff_, du, IdTrackOff, 52, 180, 42, 15);
    connect(trackOff_, &QPushButton::clicked, this, [this] { setTracking(false); });
    connect(button(this, du, IdSaveSettings, "Save settings into ZR.", 8, 200, 86, 25),
            &QPushButton::clicked, this, [this] { link_.storeSettings(); });

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
    auto* reverseMotor = new QCheckBox(QStringLiteral("Reverse motor"), this);
    placeControl(reverseMotor, du, firstId + 2, 140 + shift, 92, 80, 12);
    connect(reverseMotor, &QCheckBox::clicked, this, &DlgMain::sendMotorReverse);
    auto* reverseEncoder = new QCheckBox(QStringLiteral("Reverse encoder"), this);
    placeControl(reverseEncoder, du, firstId + 5, 140 + shift, 110, 80, 12);
    auto* offset = new QLineEdit(this);
    placeControl(offset, du, firstId + 6, 162 + shift, 125, 86, 12);
}

// ---- port list -------------------------------------------------------------

void DlgMain::fillPortList(int selectNumber) {
    const std::vector<PortEntry> entries = ports_.entries();
    int select = -1;
    int firstDetected = -1;
    int simulator = -1;
    portList_->clear();
    for (const PortEntry& entry : entries) {
        const int index = portList_->count();
        portList_->addItem(QString::fromStdString(entry.label()), int{entry.number});
        if (entry.number == selectNumber) select = index;
        if (entry.kind == PortKind::Detected && firstDetected < 0) firstDetected = index;
        if (entry.kind == PortKind::Simulator) simulator = index;
    }
    portList_->addItem(QStringLiteral("Other device..."), kOtherDevice);
    // A real device first; the simulated controller when there is none.
    if (select < 0) select = firstDetected >= 0 ? firstDetected : simulator;
    if (select < 0) select = entries.empty() ? -1 : 0;
    portList_->setCurrentIndex(select);
    selectedPort_ = select >= 0 ? portList_->itemData(select).toInt() : 0;
}

void DlgMain::onPortActivated(int index) {
    if (portList_->itemData(index).toInt() != kOtherDevice) return;
    bool ok = false;
    const QString path =
        QInputDialog::getText(this, QStringLiteral("Other device"),
                              QStringLiteral("Path of the serial device (for example /dev/ttyUSB0):"),
                              QLineEdit::Normal, QStringLiteral("/dev/"), &ok)
            .trimmed();
    int added = 0;
    if (ok && !path.isEmpty() && path != QStringLiteral("/dev/")) {
        added = ports_.addDevicePath(path.toStdString());
        if (added == 0) {
            QMessageBox::warning(this, windowTitle(),
                                 QStringLiteral("No more devices can be added to the list."));
        }
    }
    fillPortList(added != 0 ? added : selectedPort_);
}

// ---- commands --------------------------------------------------------------

void DlgMain::onConnect() {
    model_.connect(selectedPort_, baud115200_->isChecked() ? 115200 : 9600);
}

void DlgMain::move(uint8_t direction) {
    link_.manualMove(direction, static_cast<uint8_t>(speed_->value()));
}

void DlgMain::setTracking(bool on) {
    trackOn_->setChecked(on);
    trackOff_->setChecked(!on);
    link_.setTracking(on ? 1 : 0);
}

void DlgMain::sendMotorReverse() {
    const auto bits = static_cast<uint8_t>((isChecked(IdRaReverseMotor) ? 1 : 0) |
                                           (isChecked(IdDecReverseMotor) ? 2 : 0));
    link_.setMotorReverse(bits, model_.mountConfig().motorOption);
}

void DlgMain::onSetCalibration() {
    int32_t offsets[2] = {0, 0};
    const int ids[2] = {IdRaOffset, IdDecOffset};
    const char* names[2] = {"RA encoder offset", "Dec encoder offset"};
    for (int i = 0; i < 2; ++i) {
        QLineEdit* field = edit(ids[i]);
        const std::optional<int64_t> value = parseInteger(
            field->text().toStdString(), kEncoderOffsetRange.minimum, kEncoderOffsetRange.maximum);
        if (!value) {
            QMessageBox::warning(this, windowTitle(),
                                 QStringLiteral("%1 must be a whole number from %2 to %3.\n"
                                                "Nothing has been sent.")
                                     .arg(QString::fromLatin1(names[i]))
                                     .arg(kEncoderOffsetRange.minimum)
                                     .arg(kEncoderOffsetRange.maximum));
            field->setFocus();
            field->selectAll();
            return;
        }
        offsets[i] = static_cast<int32_t>(*value);
    }
    const auto bits = static_cast<uint8_t>((isChecked(IdRaReverseEncoder) ? 1 : 0) |
                                           (isChecked(IdDecReverseEncoder) ? 2 : 0));
    link_.setEncoderCalibration(bits, offsets[0], offsets[1]);
}

void DlgMain::onEncoderFormat() {
    if (runEncoderFormatDialog(this, model_) != 1) return;
    const EncoderConfig& e = model_.encoderConfig();
    setNumber(IdRaBitsPerRev, unsignedText(e.raBitsPerRev));
    setNumber(IdRaCountsPerRev, unsignedText(countsPerRev(e.raBitsPerRev)));
    setNumber(IdDecBitsPerRev, unsignedText(e.decBitsPerRev));
    setNumber(IdDecCountsPerRev, unsignedText(countsPerRev(e.decBitsPerRev)));
    const uint8_t format[8] = {e.raFlags,  e.raLeadingBits,  e.raBitsPerRev,  e.raBitsForRevs,
                               e.decFlags, e.decLeadingBits, e.decBitsPerRev, e.decBitsForRevs};
    link_.setEncoderFormat(format);
}

void DlgMain::enableControls(bool enable) {
    for (int id : kControlList) control(id)->setEnabled(enable);
}

// ---- notifications ---------------------------------------------------------

void DlgMain::showStatus(int32_t statusCode) {
    const char* text = statusText(static_cast<uint16_t>(statusCode));
    if (text == nullptr) return;
    statusLine_->setText(QString::fromLatin1(text));
    statusLine_->setCursorPosition(0);
    // Why a port would not open, and what to do about it.
    if (statusCode == StatusCannotOpenPort) {
        statusLine_->setToolTip(QString::fromStdString(ports_.lastError().text()));
    } else {
        statusLine_->setToolTip(QString());
    }
}

void DlgMain::showConfiguration(int32_t statusCode, int32_t /*extra*/) {
    enableControls(true);
    showStatus(statusCode);
    const MountConfig& m = model_.mountConfig();
    const EncoderConfig& e = model_.encoderConfig();
    setNumber(IdRaGearRatio, unsignedText(m.raGearRatio));
    setNumber(IdDecGearRatio, unsignedText(m.decGearRatio));
    setNumber(IdRaMicrosteps, unsignedText(m.raMicrostepResolution));
    setNumber(IdDecMicrosteps, unsignedText(m.decMicrostepResolution));
    setNumber(IdRaBitsPerRev, unsignedText(e.raBitsPerRev));
    setNumber(IdRaCountsPerRev, unsignedText(e.raCountsPerRev));
    setNumber(IdDecBitsPerRev, unsignedText(e.decBitsPerRev));
    setNumber(IdDecCountsPerRev, unsignedText(e.decCountsPerRev));
    checkBox(IdRaReverseMotor)->setChecked((m.reverseMotor & 1) != 0);
    checkBox(IdDecReverseMotor)->setChecked((m.reverseMotor & 2) != 0);
    setNumber(IdRaOffset, QString::number(e.raOffset));
    setNumber(IdDecOffset, QString::number(e.decOffset));
    checkBox(IdRaReverseEncoder)->setChecked((e.reverseEncoder & 1) != 0);
    checkBox(IdDecReverseEncoder)->setChecked((e.reverseEncoder & 2) != 0);
}

void DlgMain::showPositions(const EncoderPositions& p) {
    if (p.valid != 1) return;
    setNumber(IdRaRaw, unsignedText(static_cast<uint32_t>(p.raRaw)));
    setNumber(IdRaArcsec, unsignedText(static_cast<uint32_t>(p.raArcsec)));
    setNumber(IdRaDms, dmsText(p.raArcsec));
    setNumber(IdDecRaw, unsignedText(static_cast<uint32_t>(p.decRaw)));
    setNumber(IdDecArcsec, unsignedText(static_cast<uint32_t>(p.decArcsec)));
    setNumber(IdDecDms, dmsText(p.decArcsec));
}

void DlgMain::askMeridianFlip(int32_t flipCase) {
    if (ending_) return;
    const int choice = runMeridianFlipDialog(this, flipCase);
    if (ending_) return;  // closed unanswered with the program
    link_.meridianFlipChoice(static_cast<uint16_t>(choice));
}

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

// ---- helpers ---------------------------------------------------------------

QWidget* DlgMain::control(int id) const {
    return findChild<QWidget*>(controlName(id), Qt::FindDirectChildrenOnly);
}

QCheckBox* DlgMain::checkBox(int id) const { return qobject_cast<QCheckBox*>(control(id)); }

QLineEdit* DlgMain::edit(int id) const { return qobject_cast<QLineEdit*>(control(id)); }

bool DlgMain::isChecked(int id) const { return checkBox(id)->checkState() == Qt::Checked; }

void DlgMain::setNumber(int id, const QString& text) {
    QLineEdit* e = edit(id);
    e->setText(text);
    e->setCursorPosition(0);
}

}  // namespace zr8::ui
