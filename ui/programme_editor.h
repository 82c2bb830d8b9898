// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/programme.h"
#include "core/window_ports.h"
#include "ui/chart_points.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableView;
class QUndoStack;

namespace lumas::ui {

class ProgrammeTableModel;
class ProgrammeTable;

// The editor's preview: the programme's planned target curve, its ramps as slopes and its jumps as
// verticals, on the main chart's axes and in its target colour.
class ProgrammePreview final : public QWidget {
  public:
    explicit ProgrammePreview(QWidget* parent = nullptr);
    // The curve, or none and the sentence written over the empty chart in its place.
    void setPoints(ChartPoints points, QString note = {});
    const ChartPoints& points() const { return points_; }
    const QString& note() const { return note_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    ChartPoints points_;
    QString note_;
};

// File > New Programme… and the Advanced tab's Edit…: a window of its own in which a programme is
// written row by row: its name, what happens at its end, and a table with one row per programme
// row. A step row has its temperature, how it ramps there (a rate in °C per minute or a ramp time
// in minutes, never both; neither is a jump), its hold time and its band (guaranteed soak); a
// repeat row uses the same columns for the first and the last row it repeats and how many times
// they run in all.
//
// The programme is checked as it is typed (Programme::checkDocument after every edit, with the
// window's limits): each faulty cell turns red with the fault's sentence as its tooltip, and the
// list under the table names every fault ("Step 3, rate: ..."). Numbers are typed with a point or
// a comma in every locale; nothing typed is dropped or changed: a cell keeps its text, and a text
// that is not a number is a fault of its own. The steps (repeats unrolled), the planned total and
// a preview of the target curve follow every edit.
//
// Cell edits and added, removed and moved rows can be undone and redone (Ctrl+Z, Ctrl+Shift+Z).
// Keys: Tab and Enter move through the cells, Insert or Ctrl+Enter adds a step row after the
// current row, Ctrl+R a repeat row, Delete removes the current row, Alt+Up and Alt+Down move it,
// Ctrl+S saves. Use makes the programme the Advanced tab's (only while it checks clean); Save and
// Save As write the programme file; Close asks about changes not saved.
class ProgrammeEditor final : public QWidget {
    Q_OBJECT

  public:
    enum Column {
        KindColumn,
        TemperatureColumn,  // a repeat's first row
        RateColumn,         // a repeat's last row
        RampColumn,         // how many times a repeat's rows run
        HoldColumn,
        BandColumn,
        ColumnCount
    };

    // Use hands the programme and its file (empty when not saved) to `use`, which returns the
    // sentence telling why it was not taken, or nothing. `messages` shows the boxes; without it
    // the editor shows Qt message boxes over itself.
    using UseProgramme =
        std::function<std::optional<QString>(const ProgrammeDocument&, const QString& path)>;
    ProgrammeEditor(ProgrammeLimits limits, UseProgramme use, MessageBoxes* messages = nullptr,
                    QWidget* parent = nullptr);
    ~ProgrammeEditor() override;

    // Shows `document` (from `path`; empty for one not saved) as it is, with no history to undo.
    // Changes not saved are asked about first; false when the operator kept them.
    bool edit(const ProgrammeDocument& document, const QString& path);
    // An empty programme, not saved.
    bool editNew() { return edit({}, {}); }

    // The rows as typed. A cell's text is what was typed; a repeat row's cells read as their
    // numbers ("2", not "from row 2").
    int rowCount() const;
    bool isRepeat(int row) const;
    QString cellText(int row, int column) const;
    // Types `text` into a cell (0-based row), as the operator does: one step to undo.
    void setCellText(int row, int column, const QString& text);

    // Every fault of the programme as typed, in row order; empty when it makes a programme.
    const std::vector<ProgrammeFault>& faults() const { return faults_; }
    // The fault sentence of a cell, empty when it has none.
    QString cellFault(int row, int column) const;
    // The programme as typed; meaningful where faults() names no cell of it.
    ProgrammeDocument document() const;
    // The file the programme was read from or saved to last (empty when not saved).
    const QString& path() const { return path_; }
    // Whether the programme differs from what was opened or saved last.
    bool modified() const;

    // The editing commands of the keys and buttons. A row is added after the current row; the
    // current row is removed or moved.
    void addStep();
    void addRepeat();
    void removeRow();
    void moveRow(int by);
    // Use: false when the programme has faults (nothing is handed over) or was not taken (the
    // operator is told why).
    bool use();
    // Save writes to path() (asking for a file when there is none); Save As always asks.
    // saveTo() writes to `path` without asking. False, with the operator told why, when nothing
    // was written.
    bool save();
    bool saveAs();
    bool saveTo(const QString& path);

    QTableView& table() const;
    QUndoStack& undoStack() const { return *undo_; }
    QListWidget& faultList() const { return *faultList_; }
    QLabel& totals() const { return *totals_; }
    ProgrammePreview& preview() const { return *preview_; }
    QLineEdit& nameField() const { return *name_; }
    QComboBox& endChoice() const { return *end_; }
    QPushButton& useButton() const { return *useButton_; }

  signals:
    // The programme was written to `path`.
    void saved(const QString& path);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildActions();
    // Checks the programme as it stands and shows the result: cells, fault list, totals, preview.
    void check();
    void showTitle();
    // Ends an open cell editor, keeping what it holds.
    void finishEditing();
    int currentRow() const;
    void focusCell(int row, int column);
    // Whether changes not saved may be given up (the operator is asked).
    bool mayDiscardChanges();
    MessageBoxes& messages();

    ProgrammeLimits limits_;
    UseProgramme use_;
    MessageBoxes* messages_ = nullptr;
    std::unique_ptr<MessageBoxes> ownMessages_;
    QString path_;
    std::vector<ProgrammeFault> faults_;

    QUndoStack* undo_ = nullptr;
    ProgrammeTableModel* model_ = nullptr;
    ProgrammeTable* table_ = nullptr;
    QLineEdit* name_ = nullptr;
    QComboBox* end_ = nullptr;
    QListWidget* faultList_ = nullptr;
    QLabel* faultsTitle_ = nullptr;
    QLabel* totals_ = nullptr;
    ProgrammePreview* preview_ = nullptr;
    QPushButton* useButton_ = nullptr;
    // The faults of cells whose text makes no value (part of faults_): a file cannot hold them.
    std::vector<ProgrammeFault> typingFaults_;
    // What was opened or saved last, to tell whether there are changes.
    void rememberSaved();
    QString savedName_;
    int savedEnd_ = 0;
    std::vector<std::vector<QString>> savedCells_;
};

}  // namespace lumas::ui
