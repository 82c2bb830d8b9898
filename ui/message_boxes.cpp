#include "ui/message_boxes.h"

#include <QGuiApplication>

namespace lumas::ui {

QString messageBoxText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QtMessageBoxes::QtMessageBoxes(QWidget* parent) : parent_(parent) {}

void QtMessageBoxes::warning(const QString& text) {
    show(QMessageBox::Warning, box_titles::kWarning, text, QMessageBox::Ok, QMessageBox::Ok,
         QMessageBox::Ok);
}

void QtMessageBoxes::information(const QString& text) {
    show(QMessageBox::Information, box_titles::kInformation, text, QMessageBox::Ok, QMessageBox::Ok,
         QMessageBox::Ok);
}

bool QtMessageBoxes::confirm(const QString& text) {
    return show(QMessageBox::Question, box_titles::kConfirm, text,
                QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
                QMessageBox::No) == QMessageBox::Yes;
}

void QtMessageBoxes::message(const QString& text) {
    // A plain message carries the program's name as its caption and no icon.
    show(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok,
         QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton QtMessageBoxes::show(QMessageBox::Icon icon, const QString& title,
                                                 const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton,
                                                 QMessageBox::StandardButton escapeButton) {
    QMessageBox box(icon, title, messageBoxText(text), buttons, parent_.data());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    box.setEscapeButton(escapeButton);
    const int answer = box.exec();
    return static_cast<QMessageBox::StandardButton>(answer);
}

}  // namespace lumas::ui
