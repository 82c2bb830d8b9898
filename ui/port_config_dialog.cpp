// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/port_config_dialog.h"

#include <QPointer>
#include <QRadioButton>

#include <limits>

#include "ui/dialog_placement.h"
#include "ui/message_boxes.h"

namespace lumas::ui {

namespace {

// A captioned group of radio buttons laid out in `columns` columns, filled column by column.
QGroupBox* radioGroup(QWidget* parent, const char* name, const QString& caption,
                      const QStringList& items, int columns, QRect geometry,
                      QButtonGroup*& choice) {
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QString::fromLatin1(name));
    group->setGeometry(geometry);
    choice = new QButtonGroup(group);
    const int count = static_cast<int>(items.size());
    const int rows = (count + columns - 1) / columns;
    constexpr int kLeft = 8;
    constexpr int kTop = 17;
    constexpr int kBottom = 4;
    const int columnWidth = (geometry.width() - 2 * kLeft) / columns;
    const int rowHeight = (geometry.height() - kTop - kBottom) / rows;
    for (int index = 0; index < count; ++index) {
        auto* button = new QRadioButton(items[index], group);
        button->setObjectName(QStringLiteral("%1_%2").arg(QString::fromLatin1(name)).arg(index));
        button->setGeometry(kLeft + (index / rows) * columnWidth, kTop + (index % rows) * rowHeight,
                            columnWidth, rowHeight);
        choice->addButton(button, index);
    }
    return group;
}

QLabel* formLabel(QWidget* parent, const char* name, const QString& text, QPoint at) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(at);
    label->adjustSize();
    return label;
}

// The index of the ticked button, or `fallback` when none is ticked.
int checkedIndex(const QButtonGroup* choice, int fallback) {
    const int index = choice->checkedId();
    return index >= 0 ? index : fallback;
}

void check(QButtonGroup* choice, int index) {
    if (QAbstractButton* button = choice->button(index)) {
        button->setChecked(true);
    }
}

}  // namespace

PortConfigDialog::PortConfigDialog(const TComConfigForm& form, QWidget* parent)
    : QDialog(parent), form_(form) {
    setObjectName(QStringLiteral("ComConfigForm"));
    setWindowTitle(QStringLiteral("COM port configuration"));
    makeFixedDialog(*this, QSize(405, 269));
    setFont(dialogFontPoints(8));

    Label1 = formLabel(this, "Label1", QStringLiteral("COM port:"), QPoint(8, 16));
    COMPORTS = new QComboBox(this);
    COMPORTS->setObjectName(QStringLiteral("COMPORTS"));
    COMPORTS->setGeometry(80, 14, 145, 21);
    for (const std::string& port : form_.ports) {
        COMPORTS->addItem(QString::fromStdString(port));
    }
    COMPORTS->setCurrentIndex(form_.portIndex);

    Label2 = formLabel(this, "Label2", QStringLiteral("Baud rate:"), QPoint(8, 48));
    BAUDRATES = new QComboBox(this);
    BAUDRATES->setObjectName(QStringLiteral("BAUDRATES"));
    BAUDRATES->setGeometry(80, 46, 145, 21);
    for (const std::string& rate : baudRateItems()) {
        BAUDRATES->addItem(QString::fromStdString(rate));
    }
    BAUDRATES->setCurrentIndex(form_.baudIndex);

    USERBAUDRATE = new QSpinBox(this);
    USERBAUDRATE->setObjectName(QStringLiteral("USERBAUDRATE"));
    USERBAUDRATE->setGeometry(238, 46, 121, 21);
    USERBAUDRATE->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    bool isNumber = false;
    const int userRate = QString::fromStdString(form_.userBaudText).toInt(&isNumber);
    USERBAUDRATE->setValue(isNumber ? userRate : 0);
    USERBAUDRATE->setVisible(form_.userBaudVisible);

    STOPBITS = radioGroup(this, "STOPBITS", QStringLiteral("Stop bits"),
                          {QStringLiteral("1"), QStringLiteral("1,5"), QStringLiteral("2")}, 3,
                          QRect(8, 75, 190, 46), stopBitsChoice);
    PARITYSETTING =
        radioGroup(this, "PARITYSETTING", QStringLiteral("Parity"),
                   {QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even"),
                    QStringLiteral("Mark"), QStringLiteral("Space")},
                   2, QRect(204, 75, 190, 97), parityChoice);
    DATABITS = radioGroup(this, "DATABITS", QStringLiteral("Data bits"),
                          {QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"),
                           QStringLiteral("7"), QStringLiteral("8")},
                          5, QRect(8, 127, 190, 46), dataBitsChoice);
    FLOWSETTING =
        radioGroup(this, "FLOWSETTING", QStringLiteral("Flow control"),
                   {QStringLiteral("None"), QStringLiteral("DTR/RTS"), QStringLiteral("Xon/Xoff")},
                   3, QRect(8, 179, 386, 46), flowChoice);
    check(stopBitsChoice, form_.stopBitsIndex);
    check(parityChoice, form_.parityIndex);
    check(dataBitsChoice, form_.dataBitsIndex);
    check(flowChoice, static_cast<int>(form_.flowMode));

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(238, 235, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(320, 235, 75, 25);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    connect(BAUDRATES, &QComboBox::currentIndexChanged, this, &PortConfigDialog::BAUDRATESChange);
}

void PortConfigDialog::setVisible(bool visible) {
    if (visible && !isVisible()) {
        centreOnScreen(*this, parentWidget());
    }
    QDialog::setVisible(visible);
}

void PortConfigDialog::showEvent(QShowEvent* event) {
    centreOnScreen(*this, parentWidget());
    QDialog::showEvent(event);
}

void PortConfigDialog::BAUDRATESChange() {
    form_.baudIndex = BAUDRATES->currentIndex();
    lumas::BAUDRATESChange(form_);
    USERBAUDRATE->setVisible(form_.userBaudVisible);
}

TComConfigForm PortConfigDialog::form() const {
    TComConfigForm shown = form_;
    shown.portIndex = COMPORTS->currentIndex();
    shown.baudIndex = BAUDRATES->currentIndex();
    shown.stopBitsIndex = checkedIndex(stopBitsChoice, form_.stopBitsIndex);
    shown.parityIndex = checkedIndex(parityChoice, form_.parityIndex);
    shown.dataBitsIndex = checkedIndex(dataBitsChoice, form_.dataBitsIndex);
    shown.userBaudText = USERBAUDRATE->cleanText().toStdString();
    shown.userBaudVisible = !USERBAUDRATE->isHidden();
    shown.flowMode =
        static_cast<TFlowMode>(checkedIndex(flowChoice, static_cast<int>(form_.flowMode)));
    return shown;
}

void PortConfigDialog::accept() {
    if (const auto refusal = comConfigFormRefusal(form())) {
        QtMessageBoxes(this).warning(QString::fromStdString(*refusal));
        return;
    }
    QDialog::accept();
}

bool runPortConfigForm(TComConfigForm& form, QWidget* parent) {
    PortConfigDialog dialog(form, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    form = dialog.form();
    return true;
}

TComConfigDialog::FormRunner portConfigFormRunner(QWidget* owner) {
    return [owner = QPointer<QWidget>(owner)](TComConfigForm& form) {
        return runPortConfigForm(form, owner.data());
    };
}

}  // namespace lumas::ui
