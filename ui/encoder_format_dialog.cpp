#include "ui/encoder_format_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <optional>

#include "app/app_model.h"
#include "app/number_input.h"
#include "ui/dialog_keys.h"
#include "ui/dialog_units.h"

namespace zr8::ui {

namespace {

QLabel* rightLabel(QWidget* parent, const DialogUnits& du, const char* text, int x, int y) {
    return placeLabel(parent, du, text, Qt::AlignRight, x, y, 80, 12);
}

uint8_t flagsOf(const QCheckBox* invert, const QCheckBox* gray) {
    return static_cast<uint8_t>((gray->isChecked() ? 2 : 0) | (invert->isChecked() ? 1 : 0));
}

}  // namespace

EncoderFormatDialog::EncoderFormatDialog(const EncoderConfig& initial, QWidget* owner)
    : QDialog(owner), edited_(initial) {
    setObjectName(QStringLiteral("EncoderFormatDialog"));
    setWindowTitle(QStringLiteral("Encoder setup"));
    setFont(dialogFont());
    const DialogUnits du(font());
    placeDialog(this, du, 32, 32, 248, 142);

    ra_ = buildAxis("RA", 0, IdRaInvert);
    dec_ = buildAxis("Dec", 122, IdDecInvert);

    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    placeControl(ok, du, IdOk, 10, 122, 60, 16);
    connect(ok, &QPushButton::clicked, this, &EncoderFormatDialog::onOk);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    placeControl(cancel, du, IdCancel, 80, 122, 60, 16);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    clearDefaultButtons(this);

    ra_.invert->setChecked((initial.raFlags & 1) != 0);
    ra_.gray->setChecked((initial.raFlags & 2) != 0);
    ra_.bitsPerRev->setText(QString::number(initial.raBitsPerRev));
    ra_.bitsForRevs->setText(QString::number(initial.raBitsForRevs));
    ra_.leadingBits->setText(QString::number(initial.raLeadingBits));
    dec_.invert->setChecked((initial.decFlags & 1) != 0);
    dec_.gray->setChecked((initial.decFlags & 2) != 0);
    dec_.bitsPerRev->setText(QString::number(initial.decBitsPerRev));
    dec_.bitsForRevs->setText(QString::number(initial.decBitsForRevs));
    dec_.leadingBits->setText(QString::number(initial.decLeadingBits));
}

EncoderFormatDialog::AxisControls EncoderFormatDialog::buildAxis(const char* title, int left,
                                                                int firstId) {
    const DialogUnits du(font());
    auto* group = new QGroupBox(QString::fromLatin1(title), this);
    placeControl(group, du, left + 4, 4, 118, 115);

    AxisControls c{};
    c.invert = new QCheckBox(QStringLiteral("Invert data"), this);
    placeControl(c.invert, du, firstId, left + 16, 15, 80, 12);
    c.gray = new QCheckBox(QStringLiteral("Gray format"), this);
    placeControl(c.gray, du, firstId + 1, left + 16, 28, 80, 12);
    rightLabel(this, du, "Bits per one revolution:", left + 8, 56);
    rightLabel(this, du, "Bits for revolutions:", left + 8, 71);
    rightLabel(this, du, "Leading bits:", left + 8, 86);
    auto edit = [&](int id, int y) {
        auto* e = new QLineEdit(this);
        placeControl(e, du, id, left + 90, y, 24, 12);
        return e;
    };
    c.bitsPerRev = edit(firstId + 3, 55);
    c.bitsForRevs = edit(firstId + 4, 70);
    c.leadingBits = edit(firstId + 5, 85);
    return c;
}

// Enter means Ok unless a button has the focus; Escape cancels.
void EncoderFormatDialog::keyPressEvent(QKeyEvent* event) {
    if (isEnterKey(event)) {
        if (!clickFocusedButton(this)) onOk();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void EncoderFormatDialog::onOk() {
    struct Field {
        QLineEdit* edit;
        NumberRange range;
        const char* name;
        uint8_t* target;
    };
    EncoderConfig result = edited_;
    const Field fields[] = {
        {ra_.bitsPerRev, kBitsPerRevRange, "RA bits per one revolution", &result.raBitsPerRev},
        {ra_.bitsForRevs, kBitsForRevsRange, "RA bits for revolutions", &result.raBitsForRevs},
        {ra_.leadingBits, kLeadingBitsRange, "RA leading bits", &result.raLeadingBits},
        {dec_.bitsPerRev, kBitsPerRevRange, "Dec bits per one revolution", &result.decBitsPerRev},
        {dec_.bitsForRevs, kBitsForRevsRange, "Dec bits for revolutions", &result.decBitsForRevs},
        {dec_.leadingBits, kLeadingBitsRange, "Dec leading bits", &result.decLeadingBits},
    };
    for (const Field& f : fields) {
        const std::optional<int64_t> value =
            parseInteger(f.edit->text().toStdString(), f.range.minimum, f.range.maximum);
        if (!value) {
            QMessageBox::warning(this, windowTitle(),
                                 QStringLiteral("%1 must be a whole number from %2 to %3.\n"
                                                "Nothing has been changed.")
                                     .arg(QString::fromLatin1(f.name))
                                     .arg(f.range.minimum)
                                     .arg(f.range.maximum));
            f.edit->setFocus();
            f.edit->selectAll();
            return;
        }
        *f.target = static_cast<uint8_t>(*value);
    }
    // The flags this dialog does not show stay as the controller reported them.
    result.raFlags = static_cast<uint8_t>((edited_.raFlags & ~3) | flagsOf(ra_.invert, ra_.gray));
    result.decFlags = static_cast<uint8_t>((edited_.decFlags & ~3) | flagsOf(dec_.invert, dec_.gray));
    edited_ = result;
    done(1);
}

int runEncoderFormatDialog(QWidget* owner, AppModel& model) {
    EncoderFormatDialog dialog(model.encoderConfig(), owner);
    if (dialog.exec() != 1) return 0;
    model.storeFormatBytes(dialog.edited());
    return 1;
}

}  // namespace zr8::ui
