// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/up_down.h"

#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace lumas::ui {

UpDown::UpDown(int minimum, int maximum, QWidget* parent)
    : QWidget(parent),
      minimum_(minimum),
      maximum_(maximum),
      up_(new QToolButton(this)),
      down_(new QToolButton(this)) {
    up_->setObjectName(QStringLiteral("up"));
    down_->setObjectName(QStringLiteral("down"));
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setAutoRepeat(true);
    down_->setAutoRepeat(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* button : {up_, down_}) {
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(button);
    }
    connect(up_, &QToolButton::clicked, this, [this] { step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
}

void UpDown::setPosition(int position) {
    position_ = std::clamp(position, minimum_, maximum_);
}

void UpDown::step(int delta) {
    setPosition(position_ + delta);
    emit stepped(position_);
}

}  // namespace lumas::ui
