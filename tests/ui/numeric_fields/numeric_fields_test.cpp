// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The number entry fields as the operator types into them: nothing typed is dropped or
// reinterpreted, a value is taken only when the field is committed (left, Enter, or by the
// program), a refusal is explained once and brings the last good value back.

#include <QApplication>
#include <QDialog>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

#include "dialog_support/modal_watch.h"
#include "support/recorded_messages.h"
#include "ui/numeric_fields.h"

namespace lumas::ui {

using Shown = test::RecordedMessages::Shown;

class NumericFieldsTest : public QObject {
    Q_OBJECT

    // Helpers of the tests below (the private slots are the tests).
  protected:
    // The rules the window gives its temperature fields.
    static DecimalField::Rules rulesOf(const QString& field) {
        if (field == QLatin1String("single")) {
            return {.minusAllowed = true, .minimum = -70.0, .maximum = 400.0};
        }
        return {.minusAllowed = field != QLatin1String("T9"), .minimum = -70.0, .maximum = 500.0};
    }

    // Replaces the field's text as the operator does: select all, delete, type.
    static void type(QLineEdit& field, const QString& text) {
        field.selectAll();
        QTest::keyClick(&field, Qt::Key_Backspace);
        QTest::keyClicks(&field, text);
    }

    static void loseFocus(QLineEdit& field, Qt::FocusReason reason) {
        QFocusEvent focusOut(QEvent::FocusOut, reason);
        QApplication::sendEvent(&field, &focusOut);
    }

    static std::vector<Shown> warned(const QString& text) {
        return text.isEmpty() ? std::vector<Shown>{} : std::vector<Shown>{{"warning", text}};
    }

    test::RecordedMessages messages_;

  private slots:
    void init() { messages_ = test::RecordedMessages{}; }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void decimalFieldTakesOnlyWhatItCanRunAsTyped_data();
    void decimalFieldTakesOnlyWhatItCanRunAsTyped();
    void wholeNumberFieldTakesOnlyWholeNumbersInItsRange_data();
    void wholeNumberFieldTakesOnlyWholeNumbersInItsRange();
    void valueIsTheLastTakenWhileTypingAndSetValueShowsIt();
    void programTextIsTakenAtOnceWhenAcceptable();
    void leavingCommitsButAnotherWindowOrMenuDoesNot_data();
    void leavingCommitsButAnotherWindowOrMenuDoesNot();
    void oneMessagePerEdit();
    void aClickOnAButtonCommitsBeforeTheButtonRuns();
    void enterCommitsAndPressesTheDefaultButtonOnlyWhenTaken();
    void withoutMessageBoxesGivenTheFieldShowsItsOwnWarning();
};

void NumericFieldsTest::decimalFieldTakesOnlyWhatItCanRunAsTyped_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("field");  // "programme" -70..500, "single" -70..400, "T9"
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");  // after commit
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("message");  // empty: none

    const QString notANumber = QStringLiteral(
        "\"%1\" is not a temperature. Enter a number such as %2; the decimals may follow a point "
        "or a comma.");
    const QString decimals = QStringLiteral(
        "\"400.05\" has more than one decimal. Enter the temperature to a tenth of a degree, such "
        "as %1.");
    const QString programmeRange = QStringLiteral("Temperature range:   -70 - 500°C");
    const QString singleRange = QStringLiteral("Temperature range:   -70 - 400°C");
    const QString noMinus = QStringLiteral("This field takes no minus sign.");

    // The field starts at 25.0; a refusal shows that again.
    struct Row {
        const char* tag;
        const char* field;
        const char* typed;
        const char* shownEnglish;
        const char* shownGerman;
        double value;
        QString messageEnglish;
        QString messageGerman;
    };
    const std::vector<Row> rows = {
        {"40,5", "programme", "40,5", "40.5", "40,5", 40.5, {}, {}},
        {"40.5", "programme", "40.5", "40.5", "40,5", 40.5, {}, {}},
        {"405", "programme", "405", "405.0", "405,0", 405.0, {}, {}},
        {"405 above the single range", "single", "405", "25.0", "25,0", 25.0, singleRange,
         singleRange},
        {"4O", "programme", "4O", "25.0", "25,0", 25.0, notANumber.arg("4O", "40.5"),
         notANumber.arg("4O", "40,5")},
        {"1e3", "programme", "1e3", "25.0", "25,0", 25.0, notANumber.arg("1e3", "40.5"),
         notANumber.arg("1e3", "40,5")},
        {"-0", "programme", "-0", "0.0", "0,0", 0.0, {}, {}},
        {"-0 in T9", "T9", "-0", "0.0", "0,0", 0.0, {}, {}},
        {"empty", "programme", "", "0.0", "0,0", 0.0, {}, {}},
        {"blanks only", "programme", "  ", "0.0", "0,0", 0.0, {}, {}},
        {"400.05", "programme", "400.05", "25.0", "25,0", 25.0, decimals.arg("400.1"),
         decimals.arg("400,1")},
        {"-70", "programme", "-70", "-70.0", "-70,0", -70.0, {}, {}},
        {"-70 in T9", "T9", "-70", "25.0", "25,0", 25.0, noMinus, noMinus},
        {"-70.1 below the range", "programme", "-70.1", "25.0", "25,0", 25.0, programmeRange,
         programmeRange},
        {"500", "programme", "500", "500.0", "500,0", 500.0, {}, {}},
        {"500.1", "programme", "500.1", "25.0", "25,0", 25.0, programmeRange, programmeRange},
    };
    for (const Row& row : rows) {
        QTest::addRow("C: %s", row.tag)
            << "C" << row.field << row.typed << row.shownEnglish << row.value << row.messageEnglish;
        QTest::addRow("German: %s", row.tag) << "de_DE" << row.field << row.typed << row.shownGerman
                                             << row.value << row.messageGerman;
    }
}

void NumericFieldsTest::decimalFieldTakesOnlyWhatItCanRunAsTyped() {
    QFETCH(QString, locale);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(double, value);
    QFETCH(QString, message);
    QLocale::setDefault(QLocale(locale));
    DecimalField edit(rulesOf(field), nullptr, &messages_);
    edit.setValue(25.0);

    type(edit, typed);
    QCOMPARE(edit.text(), typed);  // nothing dropped or cut while typing
    QCOMPARE(edit.value(), 25.0);  // nor taken yet
    QCOMPARE(edit.commit(), message.isEmpty());

    QCOMPARE(edit.text(), shown);
    QCOMPARE(edit.value(), value);
    QCOMPARE(messages_.shown, warned(message));
}

void NumericFieldsTest::wholeNumberFieldTakesOnlyWholeNumbersInItsRange_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("message");
    const QString notWhole = QStringLiteral(
        "\"%1\" is not a whole number. Enter digits only, without a sign or decimals, such as "
        "30.");
    const QString range =
        QStringLiteral("\"%1\" is out of range. Enter a whole number from 0 to 9999.");
    // The field starts at 30.
    QTest::newRow("45") << "45"
                        << "45" << 45.0 << QString();
    QTest::newRow("leading zeros") << "0045"
                                   << "45" << 45.0 << QString();
    QTest::newRow("9999") << "9999"
                          << "9999" << 9999.0 << QString();
    QTest::newRow("empty") << ""
                           << "0" << 0.0 << QString();
    QTest::newRow("4O") << "4O"
                        << "30" << 30.0 << notWhole.arg("4O");
    QTest::newRow("1.5") << "1.5"
                         << "30" << 30.0 << notWhole.arg("1.5");
    QTest::newRow("1,0") << "1,0"
                         << "30" << 30.0 << notWhole.arg("1,0");
    QTest::newRow("-3") << "-3"
                        << "30" << 30.0 << notWhole.arg("-3");
    QTest::newRow("10000 is refused, not held to 9999") << "10000"
                                                        << "30" << 30.0 << range.arg("10000");
    QTest::newRow("too many digits for any number")
        << "123456789012345678901234"
        << "30" << 30.0 << range.arg("123456789012345678901234");
}

void NumericFieldsTest::wholeNumberFieldTakesOnlyWholeNumbersInItsRange() {
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(double, value);
    QFETCH(QString, message);
    WholeNumberField edit(0, 9999, nullptr, &messages_);
    edit.setValue(30);

    type(edit, typed);
    QCOMPARE(edit.text(), typed);
    QCOMPARE(edit.value(), 30.0);
    QCOMPARE(edit.commit(), message.isEmpty());

    QCOMPARE(edit.text(), shown);
    QCOMPARE(edit.value(), value);
    QCOMPARE(messages_.shown, warned(message));
}

// The window sums the hold times on every change of their text: what it reads while the operator
// types is the last value taken, never a half-typed one.
void NumericFieldsTest::valueIsTheLastTakenWhileTypingAndSetValueShowsIt() {
    WholeNumberField hold(0, 9999, nullptr, &messages_);
    hold.setValue(30);
    std::vector<double> seen;
    connect(&hold, &QLineEdit::textChanged, [&] { seen.push_back(hold.value()); });
    type(hold, QStringLiteral("4O"));
    QCOMPARE(seen, (std::vector<double>{30.0, 30.0, 30.0}));  // emptied, "4", "4O"
    QVERIFY(!hold.commit());
    QCOMPARE(seen.back(), 30.0);  // shown again

    hold.setValue(12.7);
    QCOMPARE(hold.text(), QStringLiteral("12"));
    QCOMPARE(hold.value(), 12.0);

    DecimalField temperature(rulesOf("programme"), nullptr, &messages_);
    QCOMPARE(temperature.text(), QStringLiteral("0.0"));
    temperature.setValue(12.34);
    QCOMPARE(temperature.text(), QStringLiteral("12.3"));
    QCOMPARE(temperature.value(), 12.3);  // the value shown, not a hidden 12.34
    temperature.setValue(-0.04);
    QCOMPARE(temperature.text(), QStringLiteral("0.0"));
    QCOMPARE(temperature.value(), 0.0);
    QCOMPARE(messages_.shown.size(), std::size_t{1});  // only the refusal of "4O"
}

// The spin buttons beside the single set point and the dialogs put text in with setText: it is
// the program's own and is taken at once when the field would accept it; text the field would
// refuse waits for the commit, which refuses it.
void NumericFieldsTest::programTextIsTakenAtOnceWhenAcceptable() {
    DecimalField field(rulesOf("single"), nullptr, &messages_);
    std::vector<double> seen;
    connect(&field, &QLineEdit::textChanged, [&] { seen.push_back(field.value()); });
    field.setText(QStringLiteral("13"));
    QCOMPARE(field.value(), 13.0);
    QCOMPARE(seen, std::vector<double>{13.0});  // listeners read the new value
    QCOMPARE(field.text(), QStringLiteral("13"));
    field.clear();
    QCOMPARE(field.value(), 0.0);

    field.setText(QStringLiteral("450"));
    QCOMPARE(field.value(), 0.0);
    QVERIFY(!field.commit());
    QCOMPARE(field.text(), QStringLiteral("0.0"));
    QCOMPARE(messages_.shown, warned(QStringLiteral("Temperature range:   -70 - 400°C")));

    // Committed without a new edit, program text is shown in the field's form.
    field.setText(QStringLiteral("13"));
    QVERIFY(field.commit());
    QCOMPARE(field.text(), QStringLiteral("13.0"));
}

void NumericFieldsTest::leavingCommitsButAnotherWindowOrMenuDoesNot_data() {
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("leaves");
    QTest::newRow("another window") << int(Qt::ActiveWindowFocusReason) << false;
    QTest::newRow("a popup") << int(Qt::PopupFocusReason) << false;
    QTest::newRow("the menu bar") << int(Qt::MenuBarFocusReason) << false;
    QTest::newRow("Tab") << int(Qt::TabFocusReason) << true;
    QTest::newRow("Shift+Tab") << int(Qt::BacktabFocusReason) << true;
    QTest::newRow("a click elsewhere") << int(Qt::MouseFocusReason) << true;
    QTest::newRow("another reason") << int(Qt::OtherFocusReason) << true;
}

void NumericFieldsTest::leavingCommitsButAnotherWindowOrMenuDoesNot() {
    QFETCH(int, reason);
    QFETCH(bool, leaves);
    DecimalField field(rulesOf("programme"), nullptr, &messages_);
    field.setValue(25.0);
    QSignalSpy left(&field, &DecimalField::left);
    QSignalSpy entered(&field, &DecimalField::entered);

    type(field, QStringLiteral("40,5"));
    loseFocus(field, static_cast<Qt::FocusReason>(reason));
    QCOMPARE(left.count(), leaves ? 1 : 0);
    QCOMPARE(field.text(), leaves ? QStringLiteral("40.5") : QStringLiteral("40,5"));
    QCOMPARE(field.value(), leaves ? 40.5 : 25.0);

    type(field, QStringLiteral("4O"));
    loseFocus(field, static_cast<Qt::FocusReason>(reason));
    QCOMPARE(left.count(), leaves ? 1 : 0);  // a refused leave is no leave
    QCOMPARE(field.text(), leaves ? QStringLiteral("40.5") : QStringLiteral("4O"));
    QCOMPARE(messages_.shown.size(), std::size_t{leaves ? 1U : 0U});
    QCOMPARE(entered.count(), 0);
}

// Leaving the field commits it, and the core commits it again when the button the operator went
// to runs: the refusal is told once, and the second commit finds the last good value back.
void NumericFieldsTest::oneMessagePerEdit() {
    DecimalField field(rulesOf("programme"), nullptr, &messages_);
    field.setValue(25.0);
    const std::vector<Shown> once = warned(QStringLiteral("Temperature range:   -70 - 500°C"));

    type(field, QStringLiteral("500.1"));
    loseFocus(field, Qt::MouseFocusReason);
    QVERIFY(field.commit());
    QVERIFY(field.commit());
    QCOMPARE(messages_.shown, once);
    QCOMPARE(field.value(), 25.0);

    // Each new edit is judged again.
    type(field, QStringLiteral("500.1"));
    QVERIFY(!field.commit());
    QCOMPARE(messages_.shown.size(), std::size_t{2});

    // A commit run while the refusal's box is open (from an event it serves) adds none.
    struct CommittingMessages final : MessageBoxes {
        NumericField* field = nullptr;
        int warnings = 0;
        void warning(const QString& /*text*/) override {
            ++warnings;
            QVERIFY(field->commit());
        }
        void information(const QString& /*text*/) override {}
        bool confirm(const QString& /*text*/) override { return true; }
        void message(const QString& /*text*/) override {}
    } committing;
    DecimalField other(rulesOf("programme"), nullptr, &committing);
    committing.field = &other;
    type(other, QStringLiteral("4O"));
    QVERIFY(!other.commit());
    QCOMPARE(committing.warnings, 1);
}

// A click on a button moves the focus, so the field is left (and committed) before the button's
// own handler runs and reads the value.
void NumericFieldsTest::aClickOnAButtonCommitsBeforeTheButtonRuns() {
    QWidget window;
    auto* field = new DecimalField(rulesOf("single"), &window, &messages_);
    auto* set = new QPushButton(QStringLiteral("Set"), &window);
    auto* row = new QHBoxLayout(&window);
    row->addWidget(field);
    row->addWidget(set);
    std::vector<double> sent;
    connect(set, &QPushButton::clicked, [&] {
        if (field->commit()) {
            sent.push_back(field->value());
        }
    });
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    field->setFocus();
    type(*field, QStringLiteral("40,5"));
    QTest::mouseClick(set, Qt::LeftButton);
    QCOMPARE(sent, std::vector<double>{40.5});

    field->setFocus();
    type(*field, QStringLiteral("4O"));
    QTest::mouseClick(set, Qt::LeftButton);
    QCOMPARE(messages_.shown.size(), std::size_t{1});
    QCOMPARE(field->text(), QStringLiteral("40.5"));
}

void NumericFieldsTest::enterCommitsAndPressesTheDefaultButtonOnlyWhenTaken() {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        messages_.shown.clear();
        QDialog dialog;
        auto* field = new DecimalField(rulesOf("single"), &dialog, &messages_);
        auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        auto* row = new QHBoxLayout(&dialog);
        row->addWidget(field);
        row->addWidget(ok);
        QSignalSpy entered(field, &DecimalField::entered);
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        dialog.show();
        field->setFocus();

        type(*field, QStringLiteral("4O"));
        QTest::keyClick(field, key);
        QCOMPARE(entered.count(), 0);
        QCOMPARE(accepted.count(), 0);  // a refused Enter presses nothing
        QCOMPARE(messages_.shown.size(), std::size_t{1});
        QCOMPARE(field->text(), QStringLiteral("0.0"));

        type(*field, QStringLiteral("40,5"));
        QTest::keyClick(field, key);
        QCOMPARE(entered.count(), 1);
        QCOMPARE(field->value(), 40.5);
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(messages_.shown.size(), std::size_t{1});
    }
}

// The dialogs that give the field no message boxes still have the operator told.
void NumericFieldsTest::withoutMessageBoxesGivenTheFieldShowsItsOwnWarning() {
    QWidget window;
    auto* field = new WholeNumberField(0, 999, &window);
    window.show();
    QString seen;
    test::ModalWatch<QMessageBox> watch([&](QMessageBox& box) {
        seen = box.windowTitle() + QLatin1Char('|') + box.text();
        box.button(QMessageBox::Ok)->click();
    });
    type(*field, QStringLiteral("1000"));
    QVERIFY(!field->commit());
    QVERIFY(watch.seen());
    QCOMPARE(seen, QStringLiteral(
                       "Warning|\"1000\" is out of range. Enter a whole number from 0 to 999."));
    QCOMPARE(field->text(), QStringLiteral("0"));
}

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::NumericFieldsTest)
#include "numeric_fields_test.moc"
