// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// Programme files through the main window on the offscreen platform (the file dialogs are left
// out: the menu's functions are given the path): open and save, the Advanced tab's twelve fields
// and its read-only view of a programme they cannot hold, the recent files, faulty files, and the
// rules while a run goes on.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "core/clock.h"
#include "core/programme_file.h"
#include "core/settings_store.h"
#include "support/recorded_messages.h"
#include "ui/chart_widget.h"
#include "ui/main_window.h"
#include "ui/numeric_fields.h"
#include "ui/programme_editor.h"

using lumas::MonotonicClock;
using lumas::ProgrammeDocument;
using lumas::ProgrammeStep;
using lumas::test::RecordedMessages;
using lumas::ui::ProgrammeEditor;
using lumas::ui::TemperatureChart;
using lumas::ui::TForm1;

namespace {

// A programme the fields cannot hold: a ramp, a band, a repeat and an end that keeps running.
const QByteArray kCycling = R"({"format": "lumas-programme", "version": 1, "name": "Cycling",
  "steps": [{"temperature": 25.0, "hold": 10},
            {"temperature": -40.5, "rate": 5.0, "hold": 15, "band": 2.0},
            {"temperature": 85.0, "ramp": 20, "hold": 15},
            {"repeat": {"from": 2, "to": 3, "times": 10}}],
  "end": "hold"})";

// Twelve fields' worth: jumps and whole minutes, one decimal at most.
const QByteArray kFitting = R"({"format": "lumas-programme", "version": 1, "name": "Soak",
  "steps": [{"temperature": 25.5, "hold": 10}, {"temperature": -40.5, "hold": 30},
            {"temperature": 85, "hold": 5}],
  "end": "stop"})";

}  // namespace

class ProgrammeFilesWindowTest : public QObject {
    Q_OBJECT

  protected:
    std::unique_ptr<TForm1> makeWindow() {
        messages_ = RecordedMessages{};
        auto window = std::make_unique<TForm1>(clock_, settingsPath(), &messages_);
        window->show();
        return window;
    }

    QString settingsPath() const { return dir_.filePath(QStringLiteral("Settings.ini")); }

    QString writeFile(const QString& name, const QByteArray& bytes) const {
        const QString path = dir_.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            qFatal("cannot write %s", qPrintable(path));
        }
        return path;
    }

    template <typename W>
    static W* child(TForm1& window, const char* name) {
        W* found = window.findChild<W*>(QLatin1String(name));
        if (found == nullptr) {
            qFatal("no child %s", name);
        }
        return found;
    }

    static double field(TForm1& window, const char* name) {
        return child<lumas::ui::NumberEntryField>(window, name)->value();
    }
    static void setField(TForm1& window, const char* name, double value) {
        child<lumas::ui::NumberEntryField>(window, name)->setValue(value);
    }

    static bool showsFields(TForm1& window) {
        auto* stack = child<QStackedWidget>(window, "programmeStack");
        return stack->currentIndex() == 0;
    }

    static QStringList loadedRows(TForm1& window) {
        auto* rows = child<QListWidget>(window, "lbProgrammeRows");
        QStringList lines;
        for (int k = 0; k < rows->count(); ++k) {
            lines << rows->item(k)->text();
        }
        return lines;
    }

    MonotonicClock clock_;
    RecordedMessages messages_;
    QTemporaryDir dir_;

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        qputenv("XDG_DATA_HOME", dir_.filePath(QStringLiteral("data")).toUtf8());
        QLocale::setDefault(QLocale::c());
    }

    void init() { QFile::remove(settingsPath()); }

    // A programme the fields can hold goes into them with its decimals; one they cannot is shown
    // read-only and leaves them as they were; "Use the fields" makes them the programme again.
    void fieldsTakeAFittingProgrammeAndARicherOneIsShownReadOnly() {
        auto window = makeWindow();
        setField(*window, "fiSP3", 60.0);
        setField(*window, "fiSP3t", 7);

        QVERIFY(window->openProgrammeFile(writeFile("soak.json", kFitting)));
        QVERIFY(messages_.shown.empty());
        QVERIFY(showsFields(*window));
        QVERIFY(!window->logic().loadedProgramme());
        QCOMPARE(field(*window, "fiSP0"), 25.5);
        QCOMPARE(field(*window, "fiSP1"), -40.5);
        QCOMPARE(field(*window, "fiSP1t"), 30.0);
        QCOMPARE(field(*window, "fiSP2"), 85.0);
        QCOMPARE(field(*window, "fiSP3"), 0.0);  // unused: 0 / 0, which ends the programme
        QCOMPARE(field(*window, "fiSP3t"), 0.0);
        QCOMPARE(child<QLabel>(*window, "lTotalTime")->text(), QStringLiteral("45 Minutes"));

        child<QCheckBox>(*window, "chkTargetTemp")->setChecked(true);
        QVERIFY(window->openProgrammeFile(writeFile("cycling.json", kCycling)));
        QVERIFY(!showsFields(*window));
        QVERIFY(window->logic().loadedProgramme());
        // The target curve on show is the loaded programme's, which Start runs.
        QCOMPARE(child<TemperatureChart>(*window, "Chart1")
                     ->points(TemperatureChart::Series::Target)
                     .size(),
                 window->logic().loadedProgramme()->targetCurve().size());
        QCOMPARE(window->logic().loadedProgramme()->stepCount(), 21);
        QCOMPARE(field(*window, "fiSP1"), -40.5);  // the fields are untouched
        QCOMPARE(field(*window, "fiSP1t"), 30.0);
        QCOMPARE(child<QLabel>(*window, "lProgrammeName")->text(), QStringLiteral("Cycling"));
        QCOMPARE(loadedRows(*window),
                 (QStringList{"1. 25 °C, hold 10 min",
                              "2. -40.5 °C at 5 °C/min, hold 15 min within ± 2 °C",
                              "3. 85 °C in 20 min, hold 15 min", "4. Repeat rows 2–3, 10 times"}));
        // 10 + (13.1 + 15 + 20 + 15) + 9 × (25.1 + 15 + 20 + 15) = 749 minutes.
        QCOMPARE(child<QLabel>(*window, "lProgrammeTotals")->text(),
                 QStringLiteral("21 steps, 12 h 29 min planned"));
        QVERIFY(child<QLabel>(*window, "lProgrammeEnd")->text().contains("keeps running"));

        // Edit… opens the editor on it, as written, with its file.
        const QString cyclingPath = dir_.filePath(QStringLiteral("cycling.json"));
        child<QPushButton>(*window, "bEditProgramme")->click();
        QVERIFY(window->programmeEditor() != nullptr);
        QCOMPARE(window->programmeEditor()->document(),
                 window->logic().loadedProgramme()->document());
        QCOMPARE(window->programmeEditor()->path(), cyclingPath);
        QVERIFY(window->programmeEditor()->close());

        child<QPushButton>(*window, "bUseFields")->click();
        QVERIFY(showsFields(*window));
        QVERIFY(!window->logic().loadedProgramme());
        QCOMPARE(field(*window, "fiSP1"), -40.5);
    }

    // Two decimals, or a minus sign in T9, are more than the fields hold: shown read-only, as
    // written, rather than rounded.
    void aTemperatureTheFieldsCannotHoldAsWrittenIsShownReadOnly_data() {
        QTest::addColumn<QByteArray>("steps");
        QTest::newRow("two decimals") << QByteArray(R"({"temperature": 40.25, "hold": 10})");
        QByteArray nine;
        for (int k = 0; k < 8; ++k) {
            nine += R"({"temperature": 20, "hold": 1}, )";
        }
        QTest::newRow("T9 below zero") << nine + R"({"temperature": -5, "hold": 1})";
    }

    void aTemperatureTheFieldsCannotHoldAsWrittenIsShownReadOnly() {
        QFETCH(QByteArray, steps);
        auto window = makeWindow();
        const QByteArray json =
            R"({"format": "lumas-programme", "version": 1, "name": "", "steps": [)" + steps +
            R"(], "end": "stop"})";
        QVERIFY(window->openProgrammeFile(writeFile("exact.json", json)));
        QVERIFY(!showsFields(*window));
        QCOMPARE(field(*window, "fiSP0"), 0.0);
        // Unnamed: the file names it.
        QCOMPARE(child<QLabel>(*window, "lProgrammeName")->text(), QStringLiteral("exact"));
    }

    // Saved and opened again through the menu's functions, both kinds of programme come back as
    // they were; the recent list names the files, newest first.
    void saveAndOpenRoundTrip() {
        auto window = makeWindow();
        setField(*window, "fiSP0", 30.5);
        setField(*window, "fiSP0t", 12);
        setField(*window, "fiSP1", -10.5);
        setField(*window, "fiSP1t", 3);
        setField(*window, "fiSP2", 99.0);  // after the first hold of 0: not part of it
        setField(*window, "fiSP3t", 4);
        const QString fields = dir_.filePath(QStringLiteral("fields.json"));
        QVERIFY(window->saveProgrammeAs(fields));
        const auto saved = lumas::loadProgrammeFile(fields);
        QVERIFY(std::holds_alternative<ProgrammeDocument>(saved));
        const ProgrammeDocument& document = std::get<ProgrammeDocument>(saved);
        QCOMPARE(document.rows.size(), std::size_t{2});
        QCOMPARE(std::get<ProgrammeStep>(document.rows[1]).temperature, -10.5);

        QVERIFY(window->openProgrammeFile(writeFile("cycling.json", kCycling)));
        const ProgrammeDocument cycling = window->logic().loadedProgramme()->document();
        const QString copy = dir_.filePath(QStringLiteral("copy.json"));
        QVERIFY(window->saveProgrammeAs(copy));
        QCOMPARE(window->logic().loadedProgrammePath(), copy);

        window = makeWindow();  // a new session: the fields are the programme
        QVERIFY(window->openProgrammeFile(fields));
        QCOMPARE(field(*window, "fiSP0"), 30.5);
        QCOMPARE(field(*window, "fiSP1"), -10.5);
        QCOMPARE(field(*window, "fiSP1t"), 3.0);
        QCOMPARE(field(*window, "fiSP3t"), 0.0);
        QVERIFY(window->openProgrammeFile(copy));
        QCOMPARE(window->logic().loadedProgramme()->document(), cycling);
        QCOMPARE(window->logic().programmeToSave(), cycling);

        QCOMPARE(lumas::readRecentProgrammes(settingsPath()),
                 (QStringList{copy, fields, dir_.filePath("cycling.json")}));
        window->recentProgrammesMenu()->aboutToShow();
        const QList<QAction*> entries = window->recentProgrammesMenu()->actions();
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries.front()->data().toString(), copy);
    }

    // A recent file that is gone is taken off the list with a plain message; nothing changes.
    void aRecentFileThatIsGoneIsDropped() {
        auto window = makeWindow();
        const QString kept = writeFile("kept.json", kFitting);
        const QString gone = writeFile("gone.json", kCycling);
        QVERIFY(window->openProgrammeFile(gone));
        QVERIFY(window->openProgrammeFile(kept));
        QVERIFY(QFile::remove(gone));
        window->openRecentProgramme(gone);
        QCOMPARE(messages_.shown.size(), std::size_t{1});
        QCOMPARE(messages_.shown.front().kind, QStringLiteral("message"));
        QVERIFY(messages_.shown.front().text.contains(QStringLiteral("no longer there")));
        QCOMPARE(lumas::readRecentProgrammes(settingsPath()), QStringList{kept});
        QVERIFY(showsFields(*window));
    }

    // A file with faults shows every fault, "Step n, field: ...", and changes nothing; asked,
    // the operator may correct it in the editor, which marks the faulty cell.
    void aFaultyFileChangesNothingAndCanBeCorrectedInTheEditor() {
        auto window = makeWindow();
        setField(*window, "fiSP0", 33.0);
        setField(*window, "fiSP0t", 5);
        const QByteArray json = R"({"format": "lumas-programme", "version": 1, "name": "Broken",
          "steps": [{"temperature": 25, "hold": 10}, {"temperature": 40, "rate": 0, "hold": 5},
                    {"temperature": 900, "hold": 5}], "end": "stop"})";
        const QString path = writeFile("broken.json", json);

        messages_.confirmAnswer = false;  // Close
        QVERIFY(!window->openProgrammeFile(path));
        QCOMPARE(messages_.shown.size(), std::size_t{1});
        const QString text = messages_.shown.front().text;
        QVERIFY2(text.contains(QStringLiteral("\rStep 2, rate: ")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("\rStep 3, temperature: ")), qPrintable(text));
        QCOMPARE(field(*window, "fiSP0"), 33.0);
        QVERIFY(showsFields(*window));
        QVERIFY(window->programmeEditor() == nullptr);
        QVERIFY(lumas::readRecentProgrammes(settingsPath()).isEmpty());

        messages_.confirmAnswer = true;  // Edit
        QVERIFY(!window->openProgrammeFile(path));
        ProgrammeEditor* editor = window->programmeEditor();
        QVERIFY(editor != nullptr);
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->path(), path);
        QVERIFY(!editor->cellFault(1, ProgrammeEditor::RateColumn).isEmpty());
        QCOMPARE(editor->faults().size(), std::size_t{2});

        // Corrected and used, it becomes the Advanced tab's programme.
        editor->setCellText(1, ProgrammeEditor::RateColumn, QStringLiteral("2"));
        editor->setCellText(2, ProgrammeEditor::TemperatureColumn, QStringLiteral("90"));
        QVERIFY(editor->use());
        QVERIFY(!showsFields(*window));
        QCOMPARE(window->logic().loadedProgramme()->step(3).temperature, 90.0);
        QVERIFY(window->logic().loadedProgrammePath().isEmpty());  // not saved as it is used
        messages_.confirmAnswer = true;
        editor->close();
    }

    // While a run goes on, no programme is opened and the fields are not taken back.
    void nothingIsOpenedWhileARunGoesOn() {
        auto window = makeWindow();
        QVERIFY(window->openProgrammeFile(writeFile("cycling.json", kCycling)));
        lumas::RunStart start;
        start.kind = lumas::RunKind::Programme;
        start.programme = *window->logic().loadedProgramme();
        window->logic().chamber().run().begin(start, 0);
        window->DisableItems();
        QVERIFY(!window->action(QStringLiteral("miOpenProgramme"))->isEnabled());
        QVERIFY(!window->recentProgrammesMenu()->menuAction()->isEnabled());
        QVERIFY(!child<QPushButton>(*window, "bUseFields")->isEnabled());
        QVERIFY(child<QPushButton>(*window, "bEditProgramme")->isEnabled());

        QVERIFY(!window->openProgrammeFile(writeFile("soak.json", kFitting)));
        QCOMPARE(messages_.shown.back().kind, QStringLiteral("warning"));
        QVERIFY(messages_.shown.back().text.contains(QStringLiteral("while a run is going on")));
        QCOMPARE(window->logic().loadedProgramme()->name(), QStringLiteral("Cycling"));
        QCOMPARE(field(*window, "fiSP0"), 0.0);

        window->logic().chamber().run().endWithoutStop(lumas::RunEndReason::StoppedByOperator,
                                                       QDateTime::currentDateTime());
        window->EnableItems();
        QVERIFY(window->action(QStringLiteral("miOpenProgramme"))->isEnabled());
    }
};

QTEST_MAIN(ProgrammeFilesWindowTest)
#include "programme_files_window_test.moc"
