// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QWidget>

class QToolButton;

namespace lumas::ui {

// Spin buttons bound to an entry field: a position within a range that the up and down buttons
// move by one.
class UpDown final : public QWidget {
    Q_OBJECT

  public:
    UpDown(int minimum, int maximum, QWidget* parent = nullptr);

    int position() const { return position_; }
    // Sets the position, limited to the range; emits nothing.
    void setPosition(int position);

  signals:
    // A button was pressed; `position` is the new position.
    void stepped(int position);

  private:
    void step(int delta);

    int minimum_;
    int maximum_;
    int position_ = 0;
    QToolButton* up_;
    QToolButton* down_;
};

}  // namespace lumas::ui
