// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/runs_window.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QDateEdit>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

#include "core/document_folders.h"
#include "core/sqlite_run_archive.h"
#include "ui/chart_report.h"
#include "ui/chart_report_preview.h"
#include "ui/chart_widget.h"
#include "ui/message_boxes.h"
#include "ui/run_chart.h"
#include "ui/run_report_text.h"

namespace lumas::ui {

namespace {

const QString kTitle = QStringLiteral("Runs");
const QColor kAlarmTextColour(190, 90, 0);

QString noArchiveText(const QString& path) {
    return QStringLiteral("No runs have been recorded yet: there is no run archive at %1.")
        .arg(path);
}

// The run's start in its own local time: the day the date filter compares.
QDateTime localStart(const ArchivedRun& run) {
    return run.started.toOffsetFromUtc(run.utcOffsetSeconds);
}

}  // namespace

// The runs as the list shows them: one row a run, in the archive's order (newest first). The
// display role is the text shown, the user role the value a column sorts by.
class RunsWindow::RunListModel final : public QAbstractTableModel {
  public:
    explicit RunListModel(QObject* parent) : QAbstractTableModel(parent) {}

    void setRuns(std::vector<ArchivedRun> runs) {
        beginResetModel();
        runs_ = std::move(runs);
        endResetModel();
    }
    const ArchivedRun& run(int row) const { return runs_.at(static_cast<std::size_t>(row)); }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(runs_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : ColumnCount;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
            return QAbstractTableModel::headerData(section, orientation, role);
        }
        static const QStringList titles{
            QStringLiteral("Run"),          QStringLiteral("Started"),
            QStringLiteral("Duration"),     QStringLiteral("Set point or programme"),
            QStringLiteral("How it ended"), QStringLiteral("Minimum"),
            QStringLiteral("Maximum"),      QStringLiteral("Alarms")};
        return titles.value(section);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) {
            return {};
        }
        const ArchivedRun& shown = run(index.row());
        const QLocale locale;
        if (role == Qt::DisplayRole) {
            switch (index.column()) {
                case RunColumn:
                    return QString::number(shown.id);
                case StartedColumn:
                    return runTimeText(shown.started, shown.utcOffsetSeconds);
                case DurationColumn:
                    return durationText(runDurationMs(shown));
                case TargetColumn:
                    return runTargetText(shown, locale);
                case EndColumn:
                    return runEndText(shown);
                case MinimumColumn:
                    return shown.minimum ? celsiusText(shown.minimum, locale) : QString();
                case MaximumColumn:
                    return shown.maximum ? celsiusText(shown.maximum, locale) : QString();
                case AlarmsColumn:
                    return QString::number(shown.alarms);
                default:
                    return {};
            }
        }
        if (role == Qt::UserRole) {
            switch (index.column()) {
                case RunColumn:
                    return QVariant::fromValue<qlonglong>(shown.id);
                case StartedColumn:
                    return shown.started;
                case DurationColumn:
                    return QVariant::fromValue<qlonglong>(runDurationMs(shown));
                case MinimumColumn:
                    return shown.minimum.value_or(-1e9);
                case MaximumColumn:
                    return shown.maximum.value_or(-1e9);
                case AlarmsColumn:
                    return shown.alarms;
                default:
                    return data(index, Qt::DisplayRole);
            }
        }
        if (role == Qt::TextAlignmentRole && index.column() != TargetColumn &&
            index.column() != EndColumn && index.column() != StartedColumn) {
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        }
        if (role == Qt::ForegroundRole && index.column() == AlarmsColumn && shown.alarms > 0) {
            return kAlarmTextColour;
        }
        return {};
    }

  private:
    std::vector<ArchivedRun> runs_;
};

// The filters of the list: the text in any column, and the days the run started between.
class RunsWindow::RunFilter final : public QSortFilterProxyModel {
  public:
    RunFilter(RunListModel* runs, QObject* parent) : QSortFilterProxyModel(parent), runs_(runs) {
        setSourceModel(runs);
        setFilterKeyColumn(-1);
        setFilterCaseSensitivity(Qt::CaseInsensitive);
        setSortRole(Qt::UserRole);
    }

    void setDates(std::optional<QDate> from, std::optional<QDate> to) {
        from_ = from;
        to_ = to;
        invalidateRowsFilter();
    }

  protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const QDate started = localStart(runs_->run(row)).date();
        if ((from_ && started < *from_) || (to_ && started > *to_)) {
            return false;
        }
        return QSortFilterProxyModel::filterAcceptsRow(row, parent);
    }

  private:
    RunListModel* runs_;
    std::optional<QDate> from_;
    std::optional<QDate> to_;
};

LoadResult loadRun(const QString& path, std::int64_t id) {
    LoadResult result;
    const SqliteRunArchive::Opened opened =
        SqliteRunArchive::open(path, SqliteRunArchive::Access::ReadOnly);
    if (!opened.archive) {
        result.problem = opened.problem.value_or(noArchiveText(path));
        return result;
    }
    std::optional<ArchivedRun> run = opened.archive->run(id);
    if (const std::optional<QString>& failure = opened.archive->readFailure()) {
        result.problem = QStringLiteral("Run %1 could not be read from the run archive %2: %3.")
                             .arg(id)
                             .arg(path, *failure);
        return result;
    }
    if (!run) {
        result.problem = QStringLiteral("Run %1 is not in the run archive %2.").arg(id).arg(path);
        return result;
    }
    auto loaded = std::make_shared<LoadedRun>();
    loaded->readings = opened.archive->readings(id);
    std::optional<QString> failure = opened.archive->readFailure();
    loaded->record = RunRecord{std::move(*run), opened.archive->events(id)};
    if (!failure) {
        failure = opened.archive->readFailure();
    }
    if (failure) {
        result.problem = QStringLiteral("Run %1 could not be read from the run archive %2: %3.")
                             .arg(id)
                             .arg(path, *failure);
        return result;
    }
    RunCurves curves = runCurves(loaded->record.run, loaded->readings, loaded->record.events);
    loaded->measured = std::move(curves.measured);
    loaded->target = std::move(curves.target);
    result.run = std::move(loaded);
    return result;
}

RunsWindow::RunsWindow(QString archivePath, MessageBoxes* messages, QWidget* parent,
                       QString settingsPath)
    : QWidget(parent, Qt::Window),
      archivePath_(std::move(archivePath)),
      settingsPath_(std::move(settingsPath)),
      ownMessages_(messages == nullptr ? std::make_unique<QtMessageBoxes>(this) : nullptr),
      messages_(messages != nullptr ? messages : ownMessages_.get()),
      model_(new RunListModel(this)),
      filter_(new RunFilter(model_, this)) {
    setObjectName(QStringLiteral("fRuns"));
    setWindowTitle(kTitle);
    resize(1100, 720);

    auto* layout = new QVBoxLayout(this);
    buildFilters();
    auto* filters = new QHBoxLayout();
    filters->addWidget(new QLabel(QStringLiteral("Filter:"), this));
    filters->addWidget(textFilter_, 1);
    filters->addSpacing(12);
    filters->addWidget(dateFilter_);
    filters->addWidget(fromDate_);
    filters->addWidget(new QLabel(QStringLiteral("to"), this));
    filters->addWidget(toDate_);
    filters->addSpacing(12);
    filters->addWidget(refreshButton_);
    layout->addLayout(filters);

    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("notice"));
    notice_->setWordWrap(true);
    notice_->setTextFormat(Qt::PlainText);
    notice_->hide();
    layout->addWidget(notice_);

    runsTable_ = new QTableView(this);
    runsTable_->setObjectName(QStringLiteral("runsTable"));
    runsTable_->setModel(filter_);
    runsTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    runsTable_->setSelectionMode(QAbstractItemView::SingleSelection);
    runsTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    runsTable_->setSortingEnabled(true);
    runsTable_->sortByColumn(StartedColumn, Qt::DescendingOrder);
    runsTable_->verticalHeader()->hide();
    runsTable_->verticalHeader()->setDefaultSectionSize(20);
    runsTable_->horizontalHeader()->setStretchLastSection(false);
    runsTable_->horizontalHeader()->setSectionResizeMode(TargetColumn, QHeaderView::Stretch);
    runsTable_->horizontalHeader()->setSectionResizeMode(EndColumn, QHeaderView::Stretch);
    runsTable_->setColumnWidth(RunColumn, 50);
    runsTable_->setColumnWidth(StartedColumn, runsTable_->fontMetrics().horizontalAdvance(
                                                  QStringLiteral("2026-12-10 08:00:00 UTC+01:00")) +
                                                  24);
    runsTable_->setColumnWidth(DurationColumn, 110);
    runsTable_->setColumnWidth(MinimumColumn, 80);
    runsTable_->setColumnWidth(MaximumColumn, 80);
    runsTable_->setColumnWidth(AlarmsColumn, 55);
    connect(runsTable_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        const QModelIndex source = filter_->mapToSource(index);
        if (source.isValid()) {
            openRun(model_->run(source.row()).id);
        }
    });
    connect(runsTable_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateButtons(); });

    caption_ = new QLabel(QStringLiteral("Open a run to see its chart and its events."), this);
    caption_->setObjectName(QStringLiteral("caption"));
    caption_->setTextFormat(Qt::PlainText);

    chart_ = new TemperatureChart(this);
    chart_->setObjectName(QStringLiteral("runChart"));
    chart_->setContextMenuPolicy(Qt::NoContextMenu);  // a past run is not cleared
    chart_->setSeriesName(TemperatureChart::Series::Measured, QStringLiteral("Run"));

    eventsTable_ = new QTableWidget(0, 3, this);
    eventsTable_->setObjectName(QStringLiteral("eventsTable"));
    eventsTable_->setHorizontalHeaderLabels(
        {QStringLiteral("Time"), QStringLiteral("Event"), QStringLiteral("Text")});
    eventsTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    eventsTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    eventsTable_->verticalHeader()->hide();
    eventsTable_->verticalHeader()->setDefaultSectionSize(20);
    eventsTable_->horizontalHeader()->setStretchLastSection(true);
    eventsTable_->setColumnWidth(0, 64);
    eventsTable_->setColumnWidth(1, 120);
    eventsTable_->setWordWrap(false);

    auto* runView = new QWidget(this);
    auto* runLayout = new QVBoxLayout(runView);
    runLayout->setContentsMargins(0, 0, 0, 0);
    runLayout->addWidget(caption_);
    auto* chartAndEvents = new QSplitter(Qt::Horizontal, runView);
    chartAndEvents->addWidget(chart_);
    chartAndEvents->addWidget(eventsTable_);
    chartAndEvents->setStretchFactor(0, 3);
    chartAndEvents->setStretchFactor(1, 2);
    chartAndEvents->setSizes({640, 440});
    runLayout->addWidget(chartAndEvents, 1);

    auto* listAndRun = new QSplitter(Qt::Vertical, this);
    listAndRun->addWidget(runsTable_);
    listAndRun->addWidget(runView);
    listAndRun->setStretchFactor(0, 2);
    listAndRun->setStretchFactor(1, 3);
    layout->addWidget(listAndRun, 1);

    buildButtons();
    auto* buttons = new QHBoxLayout();
    for (QPushButton* button :
         {openButton_, overlayButton_, removeOverlayButton_, exportCsvButton_, reportButton_}) {
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    buttons->addWidget(closeButton_);
    layout->addLayout(buttons);

    updateButtons();
}

RunsWindow::~RunsWindow() = default;

void RunsWindow::buildFilters() {
    textFilter_ = new QLineEdit(this);
    textFilter_->setObjectName(QStringLiteral("textFilter"));
    textFilter_->setPlaceholderText(QStringLiteral("Text in any column"));
    textFilter_->setClearButtonEnabled(true);
    connect(textFilter_, &QLineEdit::textChanged, this,
            [this](const QString& text) { filter_->setFilterFixedString(text); });

    dateFilter_ = new QCheckBox(QStringLiteral("Started from"), this);
    dateFilter_->setObjectName(QStringLiteral("dateFilter"));
    fromDate_ = new QDateEdit(QDate::currentDate(), this);
    fromDate_->setObjectName(QStringLiteral("fromDate"));
    toDate_ = new QDateEdit(QDate::currentDate(), this);
    toDate_->setObjectName(QStringLiteral("toDate"));
    for (QDateEdit* date : {fromDate_, toDate_}) {
        date->setCalendarPopup(true);
        date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        date->setMinimumWidth(date->fontMetrics().horizontalAdvance(QStringLiteral("2026-12-10")) +
                              44);
        date->setEnabled(false);
    }
    const auto applyDates = [this] {
        if (dateFilter_->isChecked()) {
            filter_->setDates(fromDate_->date(), toDate_->date());
        } else {
            filter_->setDates(std::nullopt, std::nullopt);
        }
    };
    connect(dateFilter_, &QCheckBox::toggled, this, [this, applyDates](bool on) {
        fromDate_->setEnabled(on);
        toDate_->setEnabled(on);
        applyDates();
    });
    connect(fromDate_, &QDateEdit::dateChanged, this, applyDates);
    connect(toDate_, &QDateEdit::dateChanged, this, applyDates);

    refreshButton_ = new QPushButton(QStringLiteral("Refresh"), this);
    refreshButton_->setObjectName(QStringLiteral("bRefresh"));
    connect(refreshButton_, &QPushButton::clicked, this, &RunsWindow::refresh);
}

void RunsWindow::buildButtons() {
    const auto button = [this](const QString& caption, const char* name) {
        auto* made = new QPushButton(caption, this);
        made->setObjectName(QLatin1String(name));
        return made;
    };
    openButton_ = button(QStringLiteral("Open"), "bOpen");
    overlayButton_ = button(QStringLiteral("Overlay"), "bOverlay");
    removeOverlayButton_ = button(QStringLiteral("Remove Overlay"), "bRemoveOverlay");
    exportCsvButton_ = button(QStringLiteral("Export CSV…"), "bExportCsv");
    reportButton_ = button(QStringLiteral("Report PDF…"), "bReportPdf");
    closeButton_ = button(QStringLiteral("Close"), "bClose");
    connect(openButton_, &QPushButton::clicked, this, [this] {
        if (const auto id = selectedRun()) {
            openRun(*id);
        }
    });
    connect(overlayButton_, &QPushButton::clicked, this, [this] {
        if (const auto id = selectedRun()) {
            overlayRun(*id);
        }
    });
    connect(removeOverlayButton_, &QPushButton::clicked, this, &RunsWindow::removeOverlay);
    connect(exportCsvButton_, &QPushButton::clicked, this, &RunsWindow::exportCsvAsked);
    connect(reportButton_, &QPushButton::clicked, this, &RunsWindow::exportReportAsked);
    connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
}

void RunsWindow::refresh() {
    if (!QFile::exists(archivePath_)) {
        model_->setRuns({});
        showNotice(noArchiveText(archivePath_));
        updateButtons();
        return;
    }
    const SqliteRunArchive::Opened opened =
        SqliteRunArchive::open(archivePath_, SqliteRunArchive::Access::ReadOnly);
    if (!opened.archive) {
        model_->setRuns({});
        showNotice(opened.problem.value_or(noArchiveText(archivePath_)));
        updateButtons();
        return;
    }
    std::vector<ArchivedRun> runs = opened.archive->runs();
    if (const std::optional<QString>& failure = opened.archive->readFailure()) {
        model_->setRuns({});
        showNotice(QStringLiteral("The run archive %1 could not be read: %2.")
                       .arg(archivePath_, *failure));
        updateButtons();
        return;
    }
    // A note of the archive (a newer program wrote it) stays in view above the list.
    showNotice(opened.problem ? *opened.problem
               : runs.empty()
                   ? QStringLiteral("The run archive %1 holds no runs yet.").arg(archivePath_)
                   : QString());
    // The date filter offers the days the runs span until the operator chooses others.
    if (!dateFilter_->isChecked() && !runs.empty()) {
        const QSignalBlocker blockFrom(fromDate_);
        const QSignalBlocker blockTo(toDate_);
        fromDate_->setDate(localStart(runs.back()).date());
        toDate_->setDate(localStart(runs.front()).date());
    }
    model_->setRuns(std::move(runs));
    updateButtons();
}

void RunsWindow::setTextFilter(const QString& text) {
    textFilter_->setText(text);
}

void RunsWindow::setDateRange(std::optional<QDate> from, std::optional<QDate> to) {
    const QSignalBlocker blockFrom(fromDate_);
    const QSignalBlocker blockTo(toDate_);
    const QSignalBlocker blockCheck(dateFilter_);
    const bool on = from.has_value() || to.has_value();
    dateFilter_->setChecked(on);
    fromDate_->setEnabled(on);
    toDate_->setEnabled(on);
    if (from) {
        fromDate_->setDate(*from);
    }
    if (to) {
        toDate_->setDate(*to);
    }
    filter_->setDates(from, to);
}

std::vector<std::int64_t> RunsWindow::shownRuns() const {
    std::vector<std::int64_t> ids;
    for (int row = 0; row < filter_->rowCount(); ++row) {
        const QModelIndex source = filter_->mapToSource(filter_->index(row, 0));
        ids.push_back(model_->run(source.row()).id);
    }
    return ids;
}

std::optional<std::int64_t> RunsWindow::selectedRun() const {
    const QModelIndexList rows = runsTable_->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    const QModelIndex source = filter_->mapToSource(rows.constFirst());
    if (!source.isValid()) {
        return std::nullopt;
    }
    return model_->run(source.row()).id;
}

void RunsWindow::openRun(std::int64_t id) {
    startLoad(id, LoadKind::Open);
}

void RunsWindow::overlayRun(std::int64_t id) {
    startLoad(id, LoadKind::Overlay);
}

void RunsWindow::startLoad(std::int64_t id, LoadKind kind) {
    const std::uint64_t serial = ++loadSerial_;
    (kind == LoadKind::Open ? openSerial_ : overlaySerial_) = serial;
    ++loadsUnderWay_;
    setCursor(Qt::BusyCursor);
    auto* watcher = new QFutureWatcher<LoadResult>(this);
    connect(watcher, &QFutureWatcher<LoadResult>::finished, this, [this, watcher, serial, kind] {
        watcher->deleteLater();
        --loadsUnderWay_;
        if (loadsUnderWay_ == 0) {
            unsetCursor();
        }
        loadFinished(serial, kind, watcher->result());
    });
    // The worker gets the path and the id by value and hands its LoadedRun back through the
    // future; it shares nothing with the window.
    watcher->setFuture(QtConcurrent::run([path = archivePath_, id] { return loadRun(path, id); }));
}

void RunsWindow::loadFinished(std::uint64_t serial, LoadKind kind, const LoadResult& result) {
    if (serial != (kind == LoadKind::Open ? openSerial_ : overlaySerial_)) {
        return;  // another run was asked for since
    }
    if (!result.run) {
        showNotice(result.problem);
        emit loadFailed(result.problem);
        return;
    }
    showNotice(QString());
    if (kind == LoadKind::Open) {
        open_ = result.run;
        showOpenRun();
        emit runOpened(open_->record.run.id);
    } else {
        overlay_ = result.run->record;
        chart_->setPoints(TemperatureChart::Series::Overlay, std::move(result.run->measured));
        chart_->setSeriesName(TemperatureChart::Series::Overlay, runCurveName(overlay_->run.id));
        updateCaption();
        updateButtons();
        emit overlayOpened(overlay_->run.id);
    }
}

void RunsWindow::showOpenRun() {
    LoadedRun& run = *open_;
    chart_->resetZoom();
    // The chart keeps the open run's curves; the report draws them from there.
    chart_->setPoints(TemperatureChart::Series::Measured, std::move(run.measured));
    chart_->setPoints(TemperatureChart::Series::Target, std::move(run.target));
    chart_->setSeriesName(TemperatureChart::Series::Measured, runCurveName(run.record.run.id));
    chart_->setEventMarks(eventMarks(run.record.events));
    showEvents();
    updateCaption();
    updateButtons();
}

void RunsWindow::showEvents() {
    const std::vector<ArchivedEvent>& events = open_->record.events;
    eventsTable_->setRowCount(0);
    eventsTable_->setRowCount(static_cast<int>(events.size()));
    QFont alarmFont = eventsTable_->font();
    alarmFont.setBold(true);
    for (int row = 0; row < static_cast<int>(events.size()); ++row) {
        const ArchivedEvent& event = events[static_cast<std::size_t>(row)];
        const bool alarm = isAlarmEvent(event.kind);
        const QStringList cells{elapsedText(event.atMs), event.kind, event.text};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setToolTip(cells[column]);
            if (alarm) {
                item->setFont(alarmFont);
                item->setForeground(kAlarmTextColour);
            }
            eventsTable_->setItem(row, column, item);
        }
    }
}

void RunsWindow::removeOverlay() {
    overlay_.reset();
    ++overlaySerial_;  // a read under way is no longer wanted
    chart_->clear(TemperatureChart::Series::Overlay);
    chart_->setSeriesName(TemperatureChart::Series::Overlay, QString());
    updateCaption();
    updateButtons();
}

std::optional<std::int64_t> RunsWindow::openRunId() const {
    if (!open_) {
        return std::nullopt;
    }
    return open_->record.run.id;
}

std::optional<std::int64_t> RunsWindow::overlayRunId() const {
    if (!overlay_) {
        return std::nullopt;
    }
    return overlay_->run.id;
}

bool RunsWindow::loading() const {
    return loadsUnderWay_ > 0;
}

QString RunsWindow::notice() const {
    return notice_->text();
}

void RunsWindow::showNotice(const QString& text) {
    notice_->setText(text);
    notice_->setVisible(!text.isEmpty());
}

void RunsWindow::updateCaption() {
    if (!open_) {
        return;
    }
    const ArchivedRun& run = open_->record.run;
    QString text = QStringLiteral("Run %1, started %2, %3: %4")
                       .arg(run.id)
                       .arg(runTimeText(run.started, run.utcOffsetSeconds),
                            runTargetText(run, QLocale()), runEndText(run));
    if (overlay_) {
        text += QStringLiteral(". Laid over it: run %1, started %2.")
                    .arg(overlay_->run.id)
                    .arg(runTimeText(overlay_->run.started, overlay_->run.utcOffsetSeconds));
    }
    caption_->setText(text);
}

void RunsWindow::updateButtons() {
    const bool selected = selectedRun().has_value();
    openButton_->setEnabled(selected);
    overlayButton_->setEnabled(selected && open_ != nullptr);
    removeOverlayButton_->setEnabled(overlay_.has_value());
    exportCsvButton_->setEnabled(open_ != nullptr);
    reportButton_->setEnabled(open_ != nullptr);
}

bool RunsWindow::exportCsv(const QString& path, RunCsvForm form) {
    if (!open_) {
        return false;
    }
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         writeRunCsv(open_->record.run, open_->readings, form, file) &&
                         file.commit();
    if (!written) {
        messages_->warning(QStringLiteral("The file %1 could not be written.").arg(path));
    }
    return written;
}

bool RunsWindow::exportReport(const QString& path) {
    if (!open_) {
        return false;
    }
    // The open run alone, without a run laid over it.
    const QString name = runCurveName(open_->record.run.id);
    const ChartReport report(
        [this, &name](QPainter& painter, const QRectF& target,
                      std::span<const ChartEventMark> events) {
            drawRunChart(painter, target, chart_->points(TemperatureChart::Series::Measured),
                         chart_->points(TemperatureChart::Series::Target), name, events,
                         chart_->font());
        },
        QDateTime::currentDateTime(), QLocale(), open_->record);
    if (!report.exportPdf(path)) {
        messages_->warning(QStringLiteral("The file %1 could not be written.").arg(path));
        return false;
    }
    return true;
}

void RunsWindow::exportCsvAsked() {
    if (!open_) {
        return;
    }
    const QString logForm = QStringLiteral("Temperature log form (*.csv)");
    const QString isoForm = QStringLiteral("ISO form, UTC times (*.csv)");
    const std::optional<ChosenFile> chosen =
        askSaveFile(this, settingsPath_,
                    {.title = QStringLiteral("Export CSV"),
                     .nameFilters = {logForm, isoForm},
                     .suffix = QStringLiteral("csv"),
                     .folder = DocumentFolder::Exports,
                     .name = runDocumentName(open_->record.run)});
    if (!chosen) {
        return;
    }
    if (exportCsv(chosen->path,
                  chosen->nameFilter == isoForm ? RunCsvForm::Iso : RunCsvForm::Log)) {
        rememberDocumentFolder(settingsPath_, DocumentFolder::Exports,
                               QFileInfo(chosen->path).absolutePath());
    }
}

void RunsWindow::exportReportAsked() {
    if (!open_) {
        return;
    }
    const std::optional<ChosenFile> chosen =
        askSaveFile(this, settingsPath_,
                    {.title = QStringLiteral("Report PDF"),
                     .nameFilters = {QStringLiteral("PDF file (*.pdf)")},
                     .suffix = QStringLiteral("pdf"),
                     .folder = DocumentFolder::Reports,
                     .name = runDocumentName(open_->record.run)});
    if (!chosen) {
        return;
    }
    if (exportReport(chosen->path)) {
        rememberDocumentFolder(settingsPath_, DocumentFolder::Reports,
                               QFileInfo(chosen->path).absolutePath());
        showExportedPdf(chosen->path, this, openPdf);
    }
}

}  // namespace lumas::ui
