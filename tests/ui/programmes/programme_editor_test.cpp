// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The programme editor on the offscreen platform: checking as it is typed, the cells and the list
// of faults, Use only while it checks clean, the totals and preview, undo and redo, the keys, and
// the question about changes not saved.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <optional>
#include <vector>

#include "core/programme_file.h"
#include "support/recorded_messages.h"
#include "ui/programme_editor.h"

using lumas::Programme;
using lumas::ProgrammeDocument;
using lumas::ProgrammeEnd;
using lumas::ProgrammeRepeat;
using lumas::ProgrammeStep;
using lumas::test::RecordedMessages;
using lumas::ui::ProgrammeEditor;

Q_DECLARE_METATYPE(ProgrammeEditor::Column)

namespace {

using Cells = QStringList;  // a row's texts from the temperature column on; "R" first: a repeat

// A step that ramps at a rate, a step that ramps in a time and waits for its band, a jump, and a
// repeat of rows 2–3.
ProgrammeDocument cycling() {
    ProgrammeDocument document;
    document.name = QStringLiteral("Cycling");
    ProgrammeStep first(25.0, 10.0);
    ProgrammeStep cold(-40.0, 15.0);
    cold.rate = 5.0;
    cold.band = 2.0;
    ProgrammeStep hot(85.0, 15.0);
    hot.rampMinutes = 20.0;
    // Step rows carry their number, as a file read or a programme's document does.
    first.row = 1;
    cold.row = 2;
    hot.row = 3;
    document.rows = {first, cold, hot, ProgrammeRepeat{2, 3, 3}};
    return document;
}

}  // namespace

class ProgrammeEditorTest : public QObject {
    Q_OBJECT

  protected:
    // An editor whose Use records what it was given and answers `useAnswer`.
    std::unique_ptr<ProgrammeEditor> makeEditor(const QLocale& locale = QLocale::c()) {
        messages_ = RecordedMessages{};
        used_.clear();
        auto editor = std::make_unique<ProgrammeEditor>(
            lumas::ProgrammeLimits{-70.0, 500.0, locale},
            [this](const ProgrammeDocument& document, const QString& path) {
                used_.push_back({document, path});
                return useAnswer_;
            },
            &messages_);
        return editor;
    }

    // Types one row after the others through the table, as the operator does.
    static void typeRow(ProgrammeEditor& editor, const Cells& cells) {
        const bool repeat = !cells.isEmpty() && cells.front() == QStringLiteral("R");
        editor.table().setCurrentIndex(
            editor.table().model()->index(editor.rowCount() - 1, ProgrammeEditor::KindColumn));
        repeat ? editor.addRepeat() : editor.addStep();
        const int row = editor.rowCount() - 1;
        const Cells texts = repeat ? cells.mid(1) : cells;
        for (int k = 0; k < texts.size(); ++k) {
            editor.setCellText(row, ProgrammeEditor::TemperatureColumn + k, texts[k]);
        }
    }

    static QStringList listed(const ProgrammeEditor& editor) {
        QStringList lines;
        for (int k = 0; k < editor.faultList().count(); ++k) {
            lines << editor.faultList().item(k)->text();
        }
        return lines;
    }

    RecordedMessages messages_;
    struct Used {
        ProgrammeDocument document;
        QString path;
    };
    std::vector<Used> used_;
    std::optional<QString> useAnswer_;
    QTemporaryDir dataHome_;

  private slots:
    void initTestCase() {
        QVERIFY(dataHome_.isValid());
        qputenv("XDG_DATA_HOME", dataHome_.path().toUtf8());
    }

    void init() { useAnswer_.reset(); }

    // Each broken cell turns red with its sentence, the list names it as "Step n, field: ...",
    // and Use hands nothing over; once corrected, Use hands over the programme as typed.
    void marksABrokenCellAndRefusesUse_data() {
        QTest::addColumn<Cells>("broken");  // row 2 as typed (row 1 is 25 °C for 10 min)
        QTest::addColumn<ProgrammeEditor::Column>("column");
        QTest::addColumn<QString>("listedStart");
        QTest::addColumn<Cells>("corrected");
        QTest::newRow("not a number")
            << Cells{"40", "4x", "", "10"} << ProgrammeEditor::RateColumn
            << "Step 2, rate: \"4x\" is not a number." << Cells{"40", "4", "", "10"};
        QTest::newRow("rate of 0") << Cells{"40", "0", "", "10"} << ProgrammeEditor::RateColumn
                                   << "Step 2, rate: " << Cells{"40", "0.5", "", "10"};
        QTest::newRow("above the range")
            << Cells{"500.5", "", "", "10"} << ProgrammeEditor::TemperatureColumn
            << "Step 2, temperature: " << Cells{"500", "", "", "10"};
        QTest::newRow("no hold time")
            << Cells{"40", "", "", ""} << ProgrammeEditor::HoldColumn
            << "Step 2, hold: The step needs a hold time." << Cells{"40", "", "", "1"};
        QTest::newRow("negative band")
            << Cells{"40", "", "", "10", "-1"} << ProgrammeEditor::BandColumn
            << "Step 2, band: " << Cells{"40", "", "", "10", "1"};
        QTest::newRow("repeat that does not end before it")
            << Cells{"R", "1", "3", "2"} << ProgrammeEditor::RateColumn
            << "Step 2, repeat.to: " << Cells{"R", "1", "1", "2"};
        QTest::newRow("repeat of a fraction of times")
            << Cells{"R", "1", "1", "2,5"} << ProgrammeEditor::RampColumn
            << "Step 2, repeat.times: \"2,5\" is not a whole number." << Cells{"R", "1", "1", "2"};
    }

    void marksABrokenCellAndRefusesUse() {
        QFETCH(Cells, broken);
        QFETCH(ProgrammeEditor::Column, column);
        QFETCH(QString, listedStart);
        QFETCH(Cells, corrected);
        auto editor = makeEditor();
        typeRow(*editor, {"25", "", "", "10"});
        QVERIFY(editor->faults().empty());
        typeRow(*editor, broken);

        QCOMPARE(editor->faults().size(), std::size_t{1});
        const QString sentence = editor->faults().front().text;
        QCOMPARE(editor->cellFault(1, column), sentence);
        const QModelIndex cell = editor->table().model()->index(1, column);
        QCOMPARE(cell.data(Qt::BackgroundRole).value<QColor>(), QColor(255, 205, 200));
        QVERIFY(!editor->table().model()->index(0, column).data(Qt::BackgroundRole).isValid());
        QCOMPARE(listed(*editor).size(), 1);
        QVERIFY2(listed(*editor).front().startsWith(listedStart),
                 qPrintable(listed(*editor).front()));
        QVERIFY(listed(*editor).front().endsWith(sentence));
        // Nothing typed is changed: the cell keeps its text.
        QCOMPARE(editor->cellText(1, column),
                 broken.value(broken.front() == "R" ? column : column - 1));

        QVERIFY(!editor->useButton().isEnabled());
        QVERIFY(!editor->use());
        QVERIFY(used_.empty());

        const int first = corrected.front() == "R" ? 1 : 0;
        for (int k = first; k < corrected.size(); ++k) {
            editor->setCellText(1, ProgrammeEditor::TemperatureColumn + k - first, corrected[k]);
        }
        QVERIFY2(editor->faults().empty(), qPrintable(listed(*editor).join('\n')));
        QVERIFY(editor->cellFault(1, column).isEmpty());
        QVERIFY(!cell.data(Qt::BackgroundRole).isValid());
        QVERIFY(editor->useButton().isEnabled());
        QVERIFY(editor->use());
        QCOMPARE(used_.size(), std::size_t{1});
        QCOMPARE(used_.front().document, editor->document());
        QCOMPARE(used_.front().document.rows.size(), std::size_t{2});
    }

    // A point or a comma, whatever the locale; the value is what was typed, not rounded.
    void readsNumbersWithAPointOrACommaInEveryLocale() {
        for (const char* name : {"en_US", "de_DE"}) {
            auto editor = makeEditor(QLocale(QString::fromLatin1(name)));
            typeRow(*editor, {"40,25", "1.5", "", "10", "0,5"});
            typeRow(*editor, {"-12.75", "", "2,5", "1"});
            QVERIFY2(editor->faults().empty(), name);
            const ProgrammeDocument document = editor->document();
            const auto& first = std::get<ProgrammeStep>(document.rows[0]);
            const auto& second = std::get<ProgrammeStep>(document.rows[1]);
            QCOMPARE(first.temperature, 40.25);
            QCOMPARE(first.rate, std::optional(1.5));
            QCOMPARE(first.band, std::optional(0.5));
            QCOMPARE(second.temperature, -12.75);
            QCOMPARE(second.rampMinutes, std::optional(2.5));
            QVERIFY(!second.rate);
        }
    }

    // Opened on a programme, the editor shows its rows as written; the totals and the preview are
    // the checked programme's (repeats unrolled), and follow an edit.
    void showsTheProgrammeWithItsTotalsAndPreview() {
        auto editor = makeEditor();
        QVERIFY(editor->edit(cycling(), QStringLiteral("/tmp/cycling.json")));
        QVERIFY(!editor->modified());
        QCOMPARE(editor->rowCount(), 4);
        QCOMPARE(editor->nameField().text(), QStringLiteral("Cycling"));
        QCOMPARE(editor->cellText(1, ProgrammeEditor::RateColumn), QStringLiteral("5"));
        QVERIFY(editor->isRepeat(3));
        QCOMPARE(editor->table().model()->index(3, ProgrammeEditor::RateColumn).data().toString(),
                 QStringLiteral("to row 3"));
        QCOMPARE(editor->document(), cycling());

        const auto expected = std::get<Programme>(Programme::fromDocument(cycling(), {}));
        QCOMPARE(expected.stepCount(), 7);
        // Row 1 holds 10; rows 2–3 ramp from 25 °C at 5 °C/min (13), hold 15, ramp 20, hold 15;
        // their second and third passes ramp from 85 °C (25): 10 + 63 + 2 × 75 = 223 minutes.
        QCOMPARE(editor->totals().text(), QStringLiteral("7 steps, 3 h 43 min planned"));
        const lumas::ui::ChartPoints& points = editor->preview().points();
        const auto curve = expected.targetCurve();
        QCOMPARE(points.size(), curve.size());
        for (std::size_t k = 0; k < curve.size(); ++k) {
            QCOMPARE(points.at(k).x, curve[k].minutes);
            QCOMPARE(points.at(k).y, curve[k].temperature);
        }

        editor->setCellText(3, ProgrammeEditor::RampColumn, QStringLiteral("1"));
        QCOMPARE(editor->totals().text(), QStringLiteral("3 steps, 1 h 13 min planned"));
        editor->setCellText(0, ProgrammeEditor::HoldColumn, QStringLiteral("x"));
        QCOMPARE(editor->totals().text(), QStringLiteral("The programme has a fault."));
        QVERIFY(editor->preview().points().empty());
        QVERIFY(editor->modified());
    }

    // An edit and a removed row come back with undo, and go again with redo.
    void undoRestoresAnEditAndARemovedRow() {
        auto editor = makeEditor();
        QVERIFY(editor->edit(cycling(), {}));
        editor->setCellText(1, ProgrammeEditor::TemperatureColumn, QStringLiteral("-45.5"));
        editor->table().setCurrentIndex(editor->table().model()->index(2, 1));
        editor->removeRow();
        QCOMPARE(editor->rowCount(), 3);
        QVERIFY(editor->isRepeat(2));

        editor->undoStack().undo();
        QCOMPARE(editor->rowCount(), 4);
        QCOMPARE(editor->cellText(2, ProgrammeEditor::RampColumn), QStringLiteral("20"));
        QVERIFY(editor->faults().empty());
        editor->undoStack().undo();
        QCOMPARE(editor->cellText(1, ProgrammeEditor::TemperatureColumn), QStringLiteral("-40"));
        QCOMPARE(editor->document(), cycling());
        QVERIFY(!editor->modified());

        editor->undoStack().redo();
        editor->undoStack().redo();
        QCOMPARE(editor->rowCount(), 3);
        QCOMPARE(editor->cellText(1, ProgrammeEditor::TemperatureColumn), QStringLiteral("-45.5"));
        // The repeat now names a row that is not before it: the check follows undo and redo.
        QVERIFY(!editor->faults().empty());
    }

    // Keyboard only: Insert adds a step and opens its first cell, Tab and Enter move on, Alt+Up
    // moves the row, Delete removes it, Ctrl+Z and Ctrl+Shift+Z undo and redo.
    void worksFromTheKeyboard() {
        auto editor = makeEditor();
        editor->show();
        QApplication::setActiveWindow(editor.get());
        QVERIFY(QTest::qWaitForWindowActive(editor.get()));
        QTableView& table = editor->table();
        table.setFocus();

        QTest::keyClick(&table, Qt::Key_Insert);
        QCOMPARE(editor->rowCount(), 1);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("30"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);     // to the rate
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // to the ramp
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);     // to the hold
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("15"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(editor->cellText(0, ProgrammeEditor::TemperatureColumn), QStringLiteral("30"));
        QCOMPARE(editor->cellText(0, ProgrammeEditor::HoldColumn), QStringLiteral("15"));
        QVERIFY(editor->faults().empty());

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);  // leaves the band's editor
        QTest::keyClick(&table, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(editor->rowCount(), 2);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("60"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(editor->cellText(1, ProgrammeEditor::TemperatureColumn), QStringLiteral("60"));

        QTest::keyClick(&table, Qt::Key_Up, Qt::AltModifier);
        QCOMPARE(editor->cellText(0, ProgrammeEditor::TemperatureColumn), QStringLiteral("60"));
        QCOMPARE(table.currentIndex().row(), 0);
        QTest::keyClick(&table, Qt::Key_Delete);
        QCOMPARE(editor->rowCount(), 1);
        QCOMPARE(editor->cellText(0, ProgrammeEditor::TemperatureColumn), QStringLiteral("30"));
        QTest::keyClick(&table, Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(editor->rowCount(), 2);
        QVERIFY(editor->isRepeat(1));

        QTest::keyClick(&table, Qt::Key_Z, Qt::ControlModifier);  // the repeat
        QTest::keyClick(&table, Qt::Key_Z, Qt::ControlModifier);  // the removal
        QCOMPARE(editor->rowCount(), 2);
        QCOMPARE(editor->cellText(0, ProgrammeEditor::TemperatureColumn), QStringLiteral("60"));
        QTest::keyClick(&table, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(editor->rowCount(), 1);
        QCOMPARE(editor->cellText(0, ProgrammeEditor::TemperatureColumn), QStringLiteral("30"));
    }

    // Close asks about changes not saved and stays open when they are kept; Save writes them.
    void closeAsksAboutChangesNotSaved() {
        auto editor = makeEditor();
        editor->show();
        QVERIFY(editor->edit(cycling(), {}));
        QVERIFY(editor->close());  // nothing changed: nothing asked
        QVERIFY(messages_.shown.empty());

        editor->show();
        editor->setCellText(0, ProgrammeEditor::HoldColumn, QStringLiteral("11"));
        QVERIFY(editor->isWindowModified());
        messages_.confirmAnswer = false;
        QVERIFY(!editor->close());
        QVERIFY(editor->isVisible());
        QCOMPARE(messages_.shown.size(), std::size_t{1});
        QVERIFY(messages_.shown.front().text.contains(QStringLiteral("not saved")));

        const QString path = dataHome_.filePath(QStringLiteral("cycling.json"));
        QVERIFY(editor->saveTo(path));
        QVERIFY(!editor->modified());
        QCOMPARE(editor->path(), path);
        const auto read = lumas::loadProgrammeFile(path);
        QVERIFY(std::holds_alternative<ProgrammeDocument>(read));
        QCOMPARE(std::get<ProgrammeStep>(std::get<ProgrammeDocument>(read).rows[0]).holdMinutes,
                 11.0);
        QVERIFY(editor->close());
    }

    // What a file cannot hold is not written: a cell that is not a number.
    void refusesToSaveWhatTheFileCannotHold() {
        auto editor = makeEditor();
        typeRow(*editor, {"25", "", "", "ten"});
        const QString path = dataHome_.filePath(QStringLiteral("broken.json"));
        QVERIFY(!editor->saveTo(path));
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(messages_.shown.back().kind, QStringLiteral("warning"));
        QVERIFY(messages_.shown.back().text.contains(QStringLiteral("Step 1, hold: \"ten\"")));
        editor->setCellText(0, ProgrammeEditor::HoldColumn, QStringLiteral("10"));

        // A file that cannot be written: the operator reads why, and the changes stay unsaved.
        const QString notAFolder = dataHome_.filePath(QStringLiteral("plain-file"));
        QFile plain(notAFolder);
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const std::size_t before = messages_.shown.size();
        QVERIFY(!editor->saveTo(notAFolder + QStringLiteral("/programme.json")));
        QCOMPARE(messages_.shown.size(), before + 1);
        QCOMPARE(messages_.shown.back().kind, QStringLiteral("warning"));
        QVERIFY(!messages_.shown.back().text.isEmpty());
        QVERIFY(editor->path().isEmpty());
        QVERIFY(editor->modified());

        QVERIFY(editor->saveTo(path));
        QVERIFY(!editor->modified());
    }
};

QTEST_MAIN(ProgrammeEditorTest)
#include "programme_editor_test.moc"
