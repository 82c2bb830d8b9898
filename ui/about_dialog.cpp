// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/about_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "lumas_version.h"
#include "ui/dialog_placement.h"

namespace lumas::ui {

namespace {

// The width the licence lines wrap at.
constexpr int kTextWidth = 420;

QLabel* aboutLabel(QWidget* parent, const char* name, const QString& text, int pixels) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(dialogFontPixels(pixels));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* owner) : QDialog(owner), owner_(owner) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About"));
    setFont(dialogFontPoints(8));

    Label1 = aboutLabel(this, "Label1", QStringLiteral("Product Name:"), 13);
    Label2 =
        aboutLabel(this, "Label2", QStringLiteral("Lumas Software for Temperature Chambers"), 13);
    Label3 = aboutLabel(this, "Label3", QStringLiteral("Build No:"), 13);
    Label4 = aboutLabel(this, "Label4", QStringLiteral(LUMAS_VERSION), 13);
    lBuildDateCaption = aboutLabel(this, "lBuildDateCaption", QStringLiteral("Built on:"), 13);
    lBuildDate = aboutLabel(this, "lBuildDate", QStringLiteral(LUMAS_BUILD_DATE), 13);
    Label5 = aboutLabel(this, "Label5", QStringLiteral("Brandel GmbH"), 16);
    lLicence = aboutLabel(this, "lLicence", kLicenceLine, 12);
    lFontLicence = aboutLabel(this, "lFontLicence", kFontLicenceLine, 12);
    for (QLabel* wrapped : {lLicence, lFontLicence}) {
        wrapped->setWordWrap(true);
        wrapped->setFixedWidth(kTextWidth);
    }

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setMinimumSize(85, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    auto* facts = new QGridLayout;
    facts->setHorizontalSpacing(12);
    facts->setVerticalSpacing(6);
    facts->addWidget(Label1, 0, 0);
    facts->addWidget(Label2, 0, 1);
    facts->addWidget(Label3, 1, 0);
    facts->addWidget(Label4, 1, 1);
    facts->addWidget(lBuildDateCaption, 2, 0);
    facts->addWidget(lBuildDate, 2, 1);
    facts->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 10, 12, 10);
    column->setSpacing(10);
    column->addLayout(facts);
    column->addWidget(Label5);
    column->addWidget(lLicence);
    column->addWidget(lFontLicence);
    column->addLayout(buttons);

    makeFixedDialog(*this, sizeHint());
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
