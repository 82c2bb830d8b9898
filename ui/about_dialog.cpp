#include "ui/about_dialog.h"

#include "lumas_version.h"
#include "ui/dialog_placement.h"

namespace lumas::ui {

namespace {

QLabel* aboutLabel(QWidget* parent, const char* name, const QString& text, QPoint at, int pixels) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(dialogFontPixels(pixels));
    label->move(at);
    label->adjustSize();
    return label;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* owner) : QDialog(owner), owner_(owner) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About"));
    makeFixedDialog(*this, QSize(387, 59));
    setFont(dialogFontPoints(8));

    Label1 = aboutLabel(this, "Label1", QStringLiteral("Product Name:"), QPoint(7, 8), 13);
    Label2 = aboutLabel(this, "Label2", QStringLiteral("Lumas Software for Temperature Chambers"),
                        QPoint(111, 8), 13);
    Label3 = aboutLabel(this, "Label3", QStringLiteral("Build No:"), QPoint(7, 30), 13);
    Label4 = aboutLabel(this, "Label4", QStringLiteral(LUMAS_VERSION), QPoint(111, 30), 13);
    // Below the client area: never seen.
    Label5 = aboutLabel(this, "Label5", QStringLiteral("Brandel GmbH"), QPoint(20, 240), 16);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(58, 171, 85, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutDialog::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void AboutDialog::setVisible(bool visible) {
    if (visible && !isVisible()) {
        placeFromOwner(*this, owner_, QPoint(130, 120));
    }
    QDialog::setVisible(visible);
}

void AboutDialog::FormShow() {
    Button1->setFocus();
}

}  // namespace lumas::ui
