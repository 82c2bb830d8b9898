#pragma once

#include <QLineEdit>
#include <QLocale>
#include <QWidget>

#include "core/window_ports.h"

namespace lumas::ui {

// A decimal entry field with one decimal place: digits, the locale's decimal separator and,
// where allowed, a leading minus sign. Leaving it shows the value again with exactly one decimal
// (an empty field becomes 0). Reading an empty field gives 0.
class DecimalField final : public QLineEdit, public NumericField {
    Q_OBJECT

  public:
    struct Rules {
        bool minusAllowed = true;
        int maxLength = 5;         // characters; 0 for no limit
        int maxIntegerDigits = 0;  // digits before the separator; 0 for no limit
    };

    explicit DecimalField(Rules rules, QWidget* parent = nullptr);

    double value() const override;
    void setValue(double value) override;

  signals:
    // The field was left: the focus moved to another control of the window (not to another
    // window or a menu).
    void left();

  protected:
    void focusOutEvent(QFocusEvent* event) override;

  private:
    QLocale locale_;
};

// A whole-number entry field with a range: digits only. Leaving it turns an empty field into
// "0" and a value outside the range into the nearer bound. Reading an empty field gives 0.
class WholeNumberField final : public QLineEdit, public NumericField {
    Q_OBJECT

  public:
    WholeNumberField(int minimum, int maximum, int maxLength, QWidget* parent = nullptr);

    double value() const override;
    void setValue(double value) override;

  protected:
    void focusOutEvent(QFocusEvent* event) override;

  private:
    int minimum_;
    int maximum_;
};

}  // namespace lumas::ui
