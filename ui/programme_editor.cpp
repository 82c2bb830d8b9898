// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/programme_editor.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QUndoCommand>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <utility>

#include "core/main_form_logic.h"
#include "core/number_text.h"
#include "core/programme_file.h"
#include "ui/chart_painter.h"
#include "ui/message_boxes.h"

namespace lumas::ui {

namespace {

using Column = ProgrammeEditor::Column;

// One row of the table as typed: a step or a repeat, and the text of each cell (the kind column's
// text is not used).
struct EditorRow {
    bool repeat = false;
    std::array<QString, ProgrammeEditor::ColumnCount> cells;

    friend bool operator==(const EditorRow&, const EditorRow&) = default;
};

// The faulty cell's colours: the warning colours of the window, readable on both.
const QColor kFaultBackground(255, 205, 200);
const QColor kUnusedBackground(232, 234, 238);

// The field of a programme file each column stands for, on a step row and on a repeat row.
QString fieldOf(bool repeat, int column) {
    switch (column) {
        case ProgrammeEditor::TemperatureColumn:
            return repeat ? QStringLiteral("repeat.from") : QStringLiteral("temperature");
        case ProgrammeEditor::RateColumn:
            return repeat ? QStringLiteral("repeat.to") : QStringLiteral("rate");
        case ProgrammeEditor::RampColumn:
            return repeat ? QStringLiteral("repeat.times") : QStringLiteral("ramp");
        case ProgrammeEditor::HoldColumn:
            return repeat ? QString() : QStringLiteral("hold");
        case ProgrammeEditor::BandColumn:
            return repeat ? QString() : QStringLiteral("band");
        default:
            return {};
    }
}

// The column a fault's field is shown in; the kind column for a fault of the row as a whole.
int columnOf(const QString& field) {
    static const std::map<QString, int> columns{
        {QStringLiteral("temperature"), ProgrammeEditor::TemperatureColumn},
        {QStringLiteral("rate"), ProgrammeEditor::RateColumn},
        {QStringLiteral("ramp"), ProgrammeEditor::RampColumn},
        {QStringLiteral("hold"), ProgrammeEditor::HoldColumn},
        {QStringLiteral("band"), ProgrammeEditor::BandColumn},
        {QStringLiteral("repeat.from"), ProgrammeEditor::TemperatureColumn},
        {QStringLiteral("repeat.to"), ProgrammeEditor::RateColumn},
        {QStringLiteral("repeat.times"), ProgrammeEditor::RampColumn},
    };
    const auto found = columns.find(field);
    return found == columns.end() ? ProgrammeEditor::KindColumn : found->second;
}

bool usedColumn(bool repeat, int column) {
    return column != ProgrammeEditor::KindColumn && !fieldOf(repeat, column).isEmpty();
}

QString numberCell(double value, const QLocale& locale) {
    return generalNumberText(value, locale);
}

}  // namespace

// The rows of the programme as typed. Edits from the view go through the undo stack; the undo
// commands change the rows through the functions below, which tell the editor (`changed`) and
// where the operator's attention belongs (`focus`).
class ProgrammeTableModel final : public QAbstractTableModel {
  public:
    explicit ProgrammeTableModel(QUndoStack& undo, QObject* parent)
        : QAbstractTableModel(parent), undo_(undo) {}

    std::function<void()> changed;
    std::function<void(int row, int column)> focus;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : ProgrammeEditor::ColumnCount;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) {
            return {};
        }
        const EditorRow& row = at(index.row());
        const int column = index.column();
        const QString& text = row.cells[static_cast<std::size_t>(column)];
        switch (role) {
            case Qt::DisplayRole:
                if (column == ProgrammeEditor::KindColumn) {
                    return row.repeat ? QStringLiteral("Repeat") : QStringLiteral("Step");
                }
                return row.repeat ? repeatDisplay(column, text) : text;
            case Qt::EditRole:
                return text;
            case Qt::BackgroundRole:
                if (faults_.count({index.row(), column}) != 0) {
                    return kFaultBackground;
                }
                if (!usedColumn(row.repeat, column) && column != ProgrammeEditor::KindColumn) {
                    return kUnusedBackground;
                }
                return {};
            case Qt::ToolTipRole: {
                const auto found = faults_.find({index.row(), column});
                return found == faults_.end() ? QVariant() : QVariant(found->second);
            }
            case Qt::TextAlignmentRole:
                return column == ProgrammeEditor::KindColumn
                           ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                           : QVariant(Qt::AlignRight | Qt::AlignVCenter);
            default:
                return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid()) {
            return Qt::NoItemFlags;
        }
        Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
        if (usedColumn(at(index.row()).repeat, index.column())) {
            flags |= Qt::ItemIsEditable;
        }
        return flags;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Vertical) {
            return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
        }
        static const std::array<QString, ProgrammeEditor::ColumnCount> titles{
            QStringLiteral("Kind"),          QStringLiteral("Temperature (°C)"),
            QStringLiteral("Rate (°C/min)"), QStringLiteral("Ramp (min)"),
            QStringLiteral("Hold (min)"),    QStringLiteral("Band (± °C)")};
        static const std::array<QString, ProgrammeEditor::ColumnCount> tips{
            QStringLiteral("A step, or a repeat of rows before it."),
            QStringLiteral("The step's temperature. On a repeat row: the first row it repeats."),
            QStringLiteral("How fast the set point ramps to the temperature. Leave Rate and Ramp "
                           "empty for a jump. On a repeat row: the last row it repeats, the row "
                           "just before it."),
            QStringLiteral("How many minutes the ramp to the temperature takes, instead of a "
                           "rate. On a repeat row: how many times the rows run in all."),
            QStringLiteral("How long the temperature is held."),
            QStringLiteral("Guaranteed soak: the hold counts only while the measured temperature "
                           "is within ± this many degrees of the step's temperature. Empty for "
                           "none.")};
        const auto k = static_cast<std::size_t>(section);
        if (k >= titles.size()) {
            return {};
        }
        if (role == Qt::DisplayRole) {
            return titles[k];
        }
        if (role == Qt::ToolTipRole) {
            return tips[k];
        }
        return {};
    }

    const EditorRow& at(int row) const { return rows_.at(static_cast<std::size_t>(row)); }
    const std::vector<EditorRow>& rows() const { return rows_; }

    // Replaces every row (a programme opened); not a step to undo.
    void reset(std::vector<EditorRow> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        faults_.clear();
        endResetModel();
        notify();
    }

    // The changes the undo commands make.
    void setCell(int row, int column, const QString& text) {
        rows_.at(static_cast<std::size_t>(row)).cells.at(static_cast<std::size_t>(column)) = text;
        emit dataChanged(index(row, 0), index(row, ProgrammeEditor::ColumnCount - 1));
        notify();
        aim(row, column);
    }
    void insertAt(int row, EditorRow value) {
        beginInsertRows({}, row, row);
        rows_.insert(rows_.begin() + row, std::move(value));
        endInsertRows();
        notify();
        aim(row, ProgrammeEditor::TemperatureColumn);
    }
    EditorRow removeAt(int row) {
        beginRemoveRows({}, row, row);
        EditorRow removed = std::move(rows_.at(static_cast<std::size_t>(row)));
        rows_.erase(rows_.begin() + row);
        endRemoveRows();
        notify();
        aim(std::min(row, rowCount() - 1), ProgrammeEditor::TemperatureColumn);
        return removed;
    }
    void move(int from, int to) {
        // Qt names the place before which the row goes, counted before the move.
        beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
        EditorRow moved = std::move(rows_.at(static_cast<std::size_t>(from)));
        rows_.erase(rows_.begin() + from);
        rows_.insert(rows_.begin() + to, std::move(moved));
        endMoveRows();
        notify();
        aim(to, -1);
    }

    // The faulty cells and their sentences, shown in red with the sentence as tooltip.
    void setFaults(std::map<std::pair<int, int>, QString> faults) {
        if (faults == faults_) {
            return;
        }
        faults_ = std::move(faults);
        if (!rows_.empty()) {
            emit dataChanged(index(0, 0), index(rowCount() - 1, ProgrammeEditor::ColumnCount - 1),
                             {Qt::BackgroundRole, Qt::ToolTipRole});
        }
    }

  private:
    static QString repeatDisplay(int column, const QString& text) {
        if (text.trimmed().isEmpty()) {
            return text;
        }
        switch (column) {
            case ProgrammeEditor::TemperatureColumn:
                return QStringLiteral("from row %1").arg(text);
            case ProgrammeEditor::RateColumn:
                return QStringLiteral("to row %1").arg(text);
            case ProgrammeEditor::RampColumn:
                return QStringLiteral("%1 times").arg(text);
            default:
                return text;
        }
    }
    void notify() {
        if (changed) {
            changed();
        }
    }
    void aim(int row, int column) {
        if (focus && row >= 0) {
            focus(row, column);
        }
    }

    QUndoStack& undo_;
    std::vector<EditorRow> rows_;
    std::map<std::pair<int, int>, QString> faults_;
};

namespace {

class SetCellCommand final : public QUndoCommand {
  public:
    SetCellCommand(ProgrammeTableModel& model, int row, int column, QString text)
        : model_(model),
          row_(row),
          column_(column),
          before_(model.at(row).cells.at(static_cast<std::size_t>(column))),
          after_(std::move(text)) {
        setText(QStringLiteral("typing in row %1").arg(row + 1));
    }
    void redo() override { model_.setCell(row_, column_, after_); }
    void undo() override { model_.setCell(row_, column_, before_); }

  private:
    ProgrammeTableModel& model_;
    int row_;
    int column_;
    QString before_;
    QString after_;
};

class InsertRowCommand final : public QUndoCommand {
  public:
    InsertRowCommand(ProgrammeTableModel& model, int row, EditorRow value)
        : model_(model), row_(row), value_(std::move(value)) {
        setText(QStringLiteral("adding row %1").arg(row + 1));
    }
    void redo() override { model_.insertAt(row_, value_); }
    void undo() override { model_.removeAt(row_); }

  private:
    ProgrammeTableModel& model_;
    int row_;
    EditorRow value_;
};

class RemoveRowCommand final : public QUndoCommand {
  public:
    RemoveRowCommand(ProgrammeTableModel& model, int row) : model_(model), row_(row) {
        setText(QStringLiteral("removing row %1").arg(row + 1));
    }
    void redo() override { removed_ = model_.removeAt(row_); }
    void undo() override { model_.insertAt(row_, removed_); }

  private:
    ProgrammeTableModel& model_;
    int row_;
    EditorRow removed_;
};

class MoveRowCommand final : public QUndoCommand {
  public:
    MoveRowCommand(ProgrammeTableModel& model, int from, int to)
        : model_(model), from_(from), to_(to) {
        setText(QStringLiteral("moving row %1").arg(from + 1));
    }
    void redo() override { model_.move(from_, to_); }
    void undo() override { model_.move(to_, from_); }

  private:
    ProgrammeTableModel& model_;
    int from_;
    int to_;
};

// Enter in a cell's editor takes what it holds and moves on to the next cell, as Tab does.
class CellDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
            if (enter && key->modifiers() == Qt::NoModifier) {
                auto* editor = qobject_cast<QWidget*>(object);
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::EditNextItem);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }
};

}  // namespace

bool ProgrammeTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) {
        return false;
    }
    const QString text = value.toString();
    if (text != at(index.row()).cells.at(static_cast<std::size_t>(index.column()))) {
        undo_.push(new SetCellCommand(*this, index.row(), index.column(), text));
    }
    return true;
}

// The table: Enter on a cell starts typing in it (or moves on from a cell that takes nothing).
class ProgrammeTable final : public QTableView {
  public:
    using QTableView::QTableView;

    // Ends an open editor, keeping what it holds.
    void finishEditing() {
        if (state() != EditingState) {
            return;
        }
        if (QWidget* editor = indexWidget(currentIndex())) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && event->modifiers() == Qt::NoModifier && state() != EditingState &&
            currentIndex().isValid()) {
            if (currentIndex().flags() & Qt::ItemIsEditable) {
                edit(currentIndex());
            } else {
                setCurrentIndex(moveCursor(MoveNext, Qt::NoModifier));
            }
            event->accept();
            return;
        }
        QTableView::keyPressEvent(event);
    }
};

ProgrammePreview::ProgrammePreview(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProgrammePreview::setPoints(ChartPoints points, QString note) {
    points_ = std::move(points);
    note_ = std::move(note);
    update();
}

void ProgrammePreview::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const std::array<ChartLine, 1> lines{ChartLine{QStringLiteral("Planned target"),
                                                   seriesPen(kTargetColour, Qt::SolidLine), false,
                                                   &points_}};
    const ChartGeometry geometry = layoutChart(QRectF(rect()), lines, std::nullopt, font());
    paintChart(painter, geometry, lines, font());
    if (!note_.isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(geometry.plot.adjusted(12, 12, -12, -12),
                         Qt::AlignCenter | Qt::TextWordWrap, note_);
    }
}

ProgrammeEditor::ProgrammeEditor(ProgrammeLimits limits, UseProgramme use, MessageBoxes* messages,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window),
      limits_(std::move(limits)),
      use_(std::move(use)),
      messages_(messages) {
    setObjectName(QStringLiteral("ProgrammeEditor"));
    undo_ = new QUndoStack(this);
    model_ = new ProgrammeTableModel(*undo_, this);

    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("programmeName"));
    name_->setPlaceholderText(QStringLiteral("The programme's name"));
    end_ = new QComboBox(this);
    end_->setObjectName(QStringLiteral("programmeEnd"));
    end_->addItem(QStringLiteral("Stop the controller"));
    end_->addItem(QStringLiteral("Keep it running at the last set point"));
    auto* top = new QFormLayout;
    top->addRow(QStringLiteral("&Name:"), name_);
    top->addRow(QStringLiteral("At the &end:"), end_);

    table_ = new ProgrammeTable(this);
    table_->setObjectName(QStringLiteral("programmeTable"));
    table_->setModel(model_);
    table_->setItemDelegate(new CellDelegate(table_));
    table_->setSelectionBehavior(QAbstractItemView::SelectItems);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                            QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    table_->setTabKeyNavigation(true);
    // Every column as wide as its title; the numbers fit in that.
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 8);

    faultList_ = new QListWidget(this);
    faultList_->setObjectName(QStringLiteral("programmeFaults"));
    faultList_->setMaximumHeight(faultList_->fontMetrics().height() * 5 + 8);
    faultList_->setWordWrap(true);
    totals_ = new QLabel(this);
    totals_->setObjectName(QStringLiteral("programmeTotals"));
    totals_->setWordWrap(true);

    preview_ = new ProgrammePreview(this);
    preview_->setObjectName(QStringLiteral("programmePreview"));
    preview_->setMinimumSize(260, 200);

    const auto button = [this](const QString& caption, const char* name) {
        auto* made = new QPushButton(caption, this);
        made->setObjectName(QLatin1String(name));
        made->setAutoDefault(false);
        return made;
    };
    QPushButton* addStepButton = button(QStringLiteral("Add &Step"), "bAddStep");
    QPushButton* addRepeatButton = button(QStringLiteral("Add &Repeat"), "bAddRepeat");
    QPushButton* removeButton = button(QStringLiteral("Re&move Row"), "bRemoveRow");
    QPushButton* upButton = button(QStringLiteral("Move &Up"), "bMoveUp");
    QPushButton* downButton = button(QStringLiteral("Move &Down"), "bMoveDown");
    useButton_ = button(QStringLiteral("Use"), "bUse");
    useButton_->setToolTip(QStringLiteral("Makes this the programme of the Advanced control tab."));
    QPushButton* saveButton = button(QStringLiteral("Save"), "bSave");
    QPushButton* saveAsButton = button(QStringLiteral("Save As…"), "bSaveAs");
    QPushButton* closeButton = button(QStringLiteral("Close"), "bClose");

    auto* rowButtons = new QHBoxLayout;
    for (QPushButton* b : {addStepButton, addRepeatButton, removeButton, upButton, downButton}) {
        rowButtons->addWidget(b);
    }
    rowButtons->addStretch(1);

    auto* left = new QWidget(this);
    auto* leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(0, 0, 0, 0);
    leftColumn->addLayout(rowButtons);
    leftColumn->addWidget(table_, 1);
    faultsTitle_ = new QLabel(QStringLiteral("Faults:"), left);
    leftColumn->addWidget(faultsTitle_);
    leftColumn->addWidget(faultList_);
    auto* right = new QWidget(this);
    auto* rightColumn = new QVBoxLayout(right);
    rightColumn->setContentsMargins(0, 0, 0, 0);
    rightColumn->addWidget(totals_);
    rightColumn->addWidget(preview_, 1);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(left);
    splitter->addWidget(right);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({560, 380});

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(useButton_);
    bottom->addStretch(1);
    for (QPushButton* b : {saveButton, saveAsButton, closeButton}) {
        bottom->addWidget(b);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottom);

    buildActions();
    connect(addStepButton, &QPushButton::clicked, this, &ProgrammeEditor::addStep);
    connect(addRepeatButton, &QPushButton::clicked, this, &ProgrammeEditor::addRepeat);
    connect(removeButton, &QPushButton::clicked, this, &ProgrammeEditor::removeRow);
    connect(upButton, &QPushButton::clicked, this, [this] { moveRow(-1); });
    connect(downButton, &QPushButton::clicked, this, [this] { moveRow(1); });
    connect(useButton_, &QPushButton::clicked, this, &ProgrammeEditor::use);
    connect(saveButton, &QPushButton::clicked, this, &ProgrammeEditor::save);
    connect(saveAsButton, &QPushButton::clicked, this, &ProgrammeEditor::saveAs);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(name_, &QLineEdit::textChanged, this, [this] { check(); });
    connect(end_, &QComboBox::currentIndexChanged, this, [this] { check(); });
    connect(faultList_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const int row = item->data(Qt::UserRole).toInt();
        const int column = item->data(Qt::UserRole + 1).toInt();
        if (row >= 1 && row <= rowCount()) {
            focusCell(row - 1, column);
            table_->setFocus();
        }
    });
    model_->changed = [this] { check(); };
    model_->focus = [this](int row, int column) { focusCell(row, column); };

    // Fits a 1024 × 768 screen with its frame and the desktop's panel.
    resize(960, 620);
    setMinimumSize(640, 420);
    editNew();
}

ProgrammeEditor::~ProgrammeEditor() {
    // The model's callbacks reach into this window; the stack's commands into the model.
    model_->changed = nullptr;
    model_->focus = nullptr;
}

void ProgrammeEditor::buildActions() {
    const auto action = [this](const QString& caption, std::initializer_list<QKeySequence> keys,
                               auto handler) {
        auto* made = new QAction(caption, this);
        made->setShortcuts(QList<QKeySequence>(keys));
        made->setShortcutContext(Qt::WindowShortcut);
        addAction(made);
        connect(made, &QAction::triggered, this, handler);
        return made;
    };
    action(QStringLiteral("Add a step"),
           {QKeySequence(Qt::Key_Insert), QKeySequence(Qt::CTRL | Qt::Key_Return),
            QKeySequence(Qt::CTRL | Qt::Key_Enter)},
           [this] { addStep(); });
    action(QStringLiteral("Add a repeat"), {QKeySequence(Qt::CTRL | Qt::Key_R)},
           [this] { addRepeat(); });
    action(QStringLiteral("Remove the row"), {QKeySequence(Qt::Key_Delete)},
           [this] { removeRow(); });
    action(QStringLiteral("Move the row up"), {QKeySequence(Qt::ALT | Qt::Key_Up)},
           [this] { moveRow(-1); });
    action(QStringLiteral("Move the row down"), {QKeySequence(Qt::ALT | Qt::Key_Down)},
           [this] { moveRow(1); });
    action(QStringLiteral("Save"), {QKeySequence(Qt::CTRL | Qt::Key_S)}, [this] { save(); });
    action(QStringLiteral("Undo"), {QKeySequence(Qt::CTRL | Qt::Key_Z)}, [this] {
        finishEditing();
        undo_->undo();
    });
    action(QStringLiteral("Redo"),
           {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
           [this] {
               finishEditing();
               undo_->redo();
           });
}

MessageBoxes& ProgrammeEditor::messages() {
    if (messages_ == nullptr) {
        ownMessages_ = std::make_unique<QtMessageBoxes>(this);
        messages_ = ownMessages_.get();
    }
    return *messages_;
}

QTableView& ProgrammeEditor::table() const {
    return *table_;
}

int ProgrammeEditor::rowCount() const {
    return model_->rowCount();
}

bool ProgrammeEditor::isRepeat(int row) const {
    return model_->at(row).repeat;
}

QString ProgrammeEditor::cellText(int row, int column) const {
    return model_->at(row).cells.at(static_cast<std::size_t>(column));
}

void ProgrammeEditor::setCellText(int row, int column, const QString& text) {
    model_->setData(model_->index(row, column), text, Qt::EditRole);
}

QString ProgrammeEditor::cellFault(int row, int column) const {
    return model_->data(model_->index(row, column), Qt::ToolTipRole).toString();
}

bool ProgrammeEditor::edit(const ProgrammeDocument& document, const QString& path) {
    if (!mayDiscardChanges()) {
        return false;
    }
    std::vector<EditorRow> rows;
    rows.reserve(document.rows.size());
    for (const ProgrammeRow& row : document.rows) {
        EditorRow typed;
        if (const auto* step = std::get_if<ProgrammeStep>(&row)) {
            typed.cells[TemperatureColumn] = numberCell(step->temperature, limits_.locale);
            typed.cells[HoldColumn] = numberCell(step->holdMinutes, limits_.locale);
            if (step->rate) {
                typed.cells[RateColumn] = numberCell(*step->rate, limits_.locale);
            }
            if (step->rampMinutes) {
                typed.cells[RampColumn] = numberCell(*step->rampMinutes, limits_.locale);
            }
            if (step->band) {
                typed.cells[BandColumn] = numberCell(*step->band, limits_.locale);
            }
        } else {
            const auto& repeat = std::get<ProgrammeRepeat>(row);
            typed.repeat = true;
            typed.cells[TemperatureColumn] = QString::number(repeat.from);
            typed.cells[RateColumn] = QString::number(repeat.to);
            typed.cells[RampColumn] = QString::number(repeat.times);
        }
        rows.push_back(std::move(typed));
    }
    undo_->clear();
    path_ = path;
    {
        const QSignalBlocker blockName(name_);
        const QSignalBlocker blockEnd(end_);
        name_->setText(document.name);
        end_->setCurrentIndex(document.end == ProgrammeEnd::Stop ? 0 : 1);
    }
    model_->reset(std::move(rows));
    rememberSaved();
    check();
    if (rowCount() > 0) {
        focusCell(0, TemperatureColumn);
    }
    table_->setFocus();
    return true;
}

void ProgrammeEditor::rememberSaved() {
    savedName_ = name_->text();
    savedEnd_ = end_->currentIndex();
    savedCells_.clear();
    for (const EditorRow& row : model_->rows()) {
        std::vector<QString> cells(row.cells.begin(), row.cells.end());
        cells.front() = row.repeat ? QStringLiteral("R") : QStringLiteral("S");
        savedCells_.push_back(std::move(cells));
    }
    undo_->setClean();
}

bool ProgrammeEditor::modified() const {
    if (name_->text() != savedName_ || end_->currentIndex() != savedEnd_ ||
        static_cast<std::size_t>(rowCount()) != savedCells_.size()) {
        return true;
    }
    for (int r = 0; r < rowCount(); ++r) {
        const EditorRow& row = model_->at(r);
        const std::vector<QString>& saved = savedCells_[static_cast<std::size_t>(r)];
        if ((saved.front() == QStringLiteral("R")) != row.repeat ||
            !std::equal(row.cells.begin() + 1, row.cells.end(), saved.begin() + 1)) {
            return true;
        }
    }
    return false;
}

ProgrammeDocument ProgrammeEditor::document() const {
    ProgrammeDocument document;
    document.name = name_->text();
    document.end = end_->currentIndex() == 0 ? ProgrammeEnd::Stop : ProgrammeEnd::Hold;
    for (int r = 0; r < rowCount(); ++r) {
        const EditorRow& row = model_->at(r);
        const auto number = [&row](int column) -> std::optional<double> {
            const auto typed = parseTypedNumber(row.cells[static_cast<std::size_t>(column)]);
            return typed ? std::optional<double>(typed->value) : std::nullopt;
        };
        if (row.repeat) {
            // A whole number of int's range; a cell that holds none reads as 0 (its own fault).
            const auto whole = [&number](int column) {
                const std::optional<double> value = number(column);
                return value && std::trunc(*value) == *value && std::abs(*value) <= 1e9
                           ? static_cast<int>(*value)
                           : 0;
            };
            ProgrammeRepeat repeat;
            repeat.from = whole(TemperatureColumn);
            repeat.to = whole(RateColumn);
            repeat.times = whole(RampColumn);
            document.rows.emplace_back(repeat);
        } else {
            ProgrammeStep step(number(TemperatureColumn).value_or(0.0),
                               number(HoldColumn).value_or(0.0));
            step.rate = number(RateColumn);
            step.rampMinutes = number(RampColumn);
            step.band = number(BandColumn);
            step.row = r + 1;  // as a programme file and Programme number a step's row
            document.rows.emplace_back(step);
        }
    }
    return document;
}

void ProgrammeEditor::check() {
    const ProgrammeDocument typed = document();
    // The cells whose text makes no value: their own faults, which stand for whatever the check
    // finds in the value read in their place.
    std::vector<ProgrammeFault> found;
    std::set<std::pair<int, QString>> typedFaults;
    for (int r = 0; r < rowCount(); ++r) {
        const EditorRow& row = model_->at(r);
        for (int column = TemperatureColumn; column < ColumnCount; ++column) {
            if (!usedColumn(row.repeat, column)) {
                continue;
            }
            const QString& text = row.cells[static_cast<std::size_t>(column)];
            const QString field = fieldOf(row.repeat, column);
            const bool required = row.repeat || column == TemperatureColumn || column == HoldColumn;
            QString sentence;
            if (text.trimmed().isEmpty()) {
                if (required) {
                    static const std::map<QString, QString> missing{
                        {QStringLiteral("temperature"),
                         QStringLiteral("The step needs a temperature.")},
                        {QStringLiteral("hold"), QStringLiteral("The step needs a hold time.")},
                        {QStringLiteral("repeat.from"),
                         QStringLiteral("The repeat needs the first row it repeats.")},
                        {QStringLiteral("repeat.to"),
                         QStringLiteral("The repeat needs the last row it repeats.")},
                        {QStringLiteral("repeat.times"),
                         QStringLiteral("The repeat needs the number of times its rows run.")},
                    };
                    sentence = missing.at(field);
                }
            } else if (const auto number = parseTypedNumber(text); !number) {
                sentence = QStringLiteral("\"%1\" is not a number.").arg(text.trimmed());
            } else if (row.repeat && (std::trunc(number->value) != number->value ||
                                      std::abs(number->value) > 1e9)) {
                sentence = QStringLiteral("\"%1\" is not a whole number.").arg(text.trimmed());
            }
            if (!sentence.isEmpty()) {
                found.emplace_back(r + 1, sentence, field);
                typedFaults.insert({r + 1, row.repeat ? QStringLiteral("repeat") : field});
            }
        }
    }
    for (ProgrammeFault& fault : Programme::checkDocument(typed, limits_)) {
        const bool repeatRow =
            fault.step >= 1 && fault.step <= rowCount() && model_->at(fault.step - 1).repeat;
        const QString key = repeatRow ? QStringLiteral("repeat") : fault.field;
        if (typedFaults.count({fault.step, key}) == 0) {
            found.push_back(std::move(fault));
        }
    }
    std::stable_sort(
        found.begin(), found.end(),
        [](const ProgrammeFault& a, const ProgrammeFault& b) { return a.step < b.step; });
    faults_ = std::move(found);
    typingFaults_.clear();
    std::copy_if(faults_.begin(), faults_.end(), std::back_inserter(typingFaults_),
                 [&typedFaults, this](const ProgrammeFault& fault) {
                     const bool repeatRow = fault.step >= 1 && fault.step <= rowCount() &&
                                            model_->at(fault.step - 1).repeat;
                     return typedFaults.count({fault.step, repeatRow ? QStringLiteral("repeat")
                                                                     : fault.field}) != 0;
                 });

    std::map<std::pair<int, int>, QString> cells;
    faultList_->clear();
    for (const ProgrammeFault& fault : faults_) {
        const int column = columnOf(fault.field);
        if (fault.step >= 1 && fault.step <= rowCount()) {
            QString& tip = cells[{fault.step - 1, column}];
            tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + fault.text;
        }
        auto* item = new QListWidgetItem(programmeFaultText(fault), faultList_);
        item->setData(Qt::UserRole, fault.step);
        item->setData(Qt::UserRole + 1, column);
    }
    model_->setFaults(std::move(cells));

    std::optional<Programme> programme;
    if (faults_.empty()) {
        auto made = Programme::fromDocument(typed, limits_);
        if (auto* checked = std::get_if<Programme>(&made)) {
            programme = std::move(*checked);
        }
    }
    ChartPoints points;
    if (programme) {
        for (const TargetCurvePoint& point : programme->targetCurve()) {
            points.append(point.minutes, point.temperature);
        }
        totals_->setText(MainFormLogic::programmeSummary(*programme, path_, limits_.locale).totals);
    } else {
        totals_->setText(faults_.size() == 1
                             ? QStringLiteral("The programme has a fault.")
                             : QStringLiteral("The programme has %1 faults.").arg(faults_.size()));
    }
    preview_->setPoints(std::move(points),
                        programme ? QString()
                                  : QStringLiteral("The curve is drawn once the programme has no "
                                                   "faults."));
    faultList_->setVisible(!faults_.empty());
    faultsTitle_->setVisible(!faults_.empty());
    useButton_->setEnabled(programme.has_value());
    showTitle();
}

void ProgrammeEditor::showTitle() {
    QString shown = name_->text().trimmed();
    if (shown.isEmpty()) {
        shown = path_.isEmpty() ? QStringLiteral("New programme") : QFileInfo(path_).fileName();
    }
    setWindowTitle(QStringLiteral("Programme Editor – %1[*]").arg(shown));
    setWindowModified(modified());
}

void ProgrammeEditor::finishEditing() {
    table_->finishEditing();
}

int ProgrammeEditor::currentRow() const {
    const QModelIndex current = table_->currentIndex();
    return current.isValid() ? current.row() : rowCount() - 1;
}

void ProgrammeEditor::focusCell(int row, int column) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    const int keep =
        table_->currentIndex().isValid() ? table_->currentIndex().column() : TemperatureColumn;
    table_->setCurrentIndex(model_->index(row, column < 0 ? keep : column));
}

void ProgrammeEditor::addStep() {
    finishEditing();
    const int at = currentRow() + 1;
    undo_->push(new InsertRowCommand(*model_, at, EditorRow{}));
    table_->setFocus();
    table_->edit(model_->index(at, TemperatureColumn));
}

void ProgrammeEditor::addRepeat() {
    finishEditing();
    const int at = currentRow() + 1;
    // Rows 1 to the row just before it, twice: the operator narrows it from there.
    EditorRow repeat;
    repeat.repeat = true;
    if (at >= 1) {
        repeat.cells[TemperatureColumn] = QStringLiteral("1");
        repeat.cells[RateColumn] = QString::number(at);
        repeat.cells[RampColumn] = QStringLiteral("2");
    }
    undo_->push(new InsertRowCommand(*model_, at, repeat));
    table_->setFocus();
}

void ProgrammeEditor::removeRow() {
    finishEditing();
    const QModelIndex current = table_->currentIndex();
    if (!current.isValid()) {
        return;
    }
    undo_->push(new RemoveRowCommand(*model_, current.row()));
}

void ProgrammeEditor::moveRow(int by) {
    finishEditing();
    const QModelIndex current = table_->currentIndex();
    if (!current.isValid()) {
        return;
    }
    const int to = current.row() + by;
    if (to < 0 || to >= rowCount() || by == 0) {
        return;
    }
    undo_->push(new MoveRowCommand(*model_, current.row(), to));
}

bool ProgrammeEditor::use() {
    finishEditing();
    if (!faults_.empty()) {
        return false;
    }
    if (const std::optional<QString> refusal = use_(document(), modified() ? QString() : path_)) {
        messages().warning(*refusal);
        return false;
    }
    return true;
}

bool ProgrammeEditor::save() {
    finishEditing();
    return path_.isEmpty() ? saveAs() : saveTo(path_);
}

bool ProgrammeEditor::saveAs() {
    finishEditing();
    const QString folder = programmesFolder();
    QDir().mkpath(folder);
    QString suggested = name_->text().trimmed();
    suggested.replace(QLatin1Char('/'), QLatin1Char('-'));
    if (!path_.isEmpty()) {
        suggested = QFileInfo(path_).fileName();
    } else if (!suggested.isEmpty()) {
        suggested += QStringLiteral(".json");
    }
    const QString start = path_.isEmpty() ? QDir(folder).filePath(suggested) : path_;
    QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Save Programme As"), start,
                                                  QStringLiteral("Lumas programmes (*.json)"));
    if (chosen.isEmpty()) {
        return false;
    }
    if (QFileInfo(chosen).suffix().isEmpty()) {
        chosen += QStringLiteral(".json");
    }
    return saveTo(chosen);
}

bool ProgrammeEditor::saveTo(const QString& path) {
    finishEditing();
    // A file holds numbers, and a step ramps one way: what the file cannot hold is not written.
    std::vector<ProgrammeFault> unwritable = typingFaults_;
    for (int r = 0; r < rowCount(); ++r) {
        const EditorRow& row = model_->at(r);
        if (!row.repeat && !row.cells[RateColumn].trimmed().isEmpty() &&
            !row.cells[RampColumn].trimmed().isEmpty()) {
            unwritable.emplace_back(
                r + 1, QStringLiteral("A step ramps at a rate or in a time, not both."),
                QStringLiteral("ramp"));
        }
    }
    if (!unwritable.empty()) {
        messages().warning(QStringLiteral("The programme cannot be saved as it is:\r") +
                           programmeFaultText(unwritable.front()));
        return false;
    }
    if (!faults_.empty() &&
        !messages().confirm(
            QStringLiteral("The programme has faults, and cannot be used until they are "
                           "corrected:\r%1\rSave it anyway?")
                .arg(programmeFaultText(faults_.front())))) {
        return false;
    }
    if (const std::optional<QString> failure = saveProgrammeFile(path, document())) {
        messages().warning(*failure);
        return false;
    }
    path_ = path;
    rememberSaved();
    showTitle();
    emit saved(path);
    return true;
}

bool ProgrammeEditor::mayDiscardChanges() {
    if (model_ == nullptr || !modified()) {
        return true;
    }
    return messages().choose(
        QStringLiteral("The programme has changes that are not saved. Give them up?"),
        QStringLiteral("Give them up"), QStringLiteral("Keep editing"));
}

void ProgrammeEditor::closeEvent(QCloseEvent* event) {
    finishEditing();
    if (!mayDiscardChanges()) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace lumas::ui
