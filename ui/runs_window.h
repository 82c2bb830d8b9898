// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDate>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/run_archive.h"
#include "core/run_csv_export.h"
#include "core/settings_store.h"
#include "core/window_ports.h"
#include "ui/chart_points.h"
#include "ui/chart_report_preview.h"

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTableWidget;

namespace lumas::ui {

class TemperatureChart;

// A run read from the archive for the Runs window: its record, its readings and its curves (which
// the chart takes over once the run is shown).
struct LoadedRun {
    RunRecord record;
    std::vector<ArchivedReading> readings;
    ChartPoints measured;
    ChartPoints target;
};

// Reads run `id` from the archive at `path`, opened read-only for this call alone; any thread.
// Nothing but a sentence for the operator when the archive or the run cannot be read.
struct LoadResult {
    std::shared_ptr<LoadedRun> run;
    QString problem;
};
LoadResult loadRun(const QString& path, std::int64_t id);

// File > Runs…: the runs of the archive, newest first (run, start, duration, set point or
// programme, how it ended, minimum, maximum, alarms), filtered by a text that any column may
// match and by the dates they started between. A run opened (double-click or Open) shows its
// chart (gaps where the link was down, events marked on the time axis) and its events; a second
// run can be laid over the chart, each curve named by its run. The open run can be written as
// CSV (the temperature log's form or the ISO form) and as its PDF report, proposed as
// runDocumentName in the folders the settings file remembers (see document_folders.h).
//
// The archive is only ever opened read-only: a missing archive is never made, it is named in a
// sentence in the window. A run is read on a worker thread (a week's run holds 403,200
// readings), so the window goes on answering meanwhile; only the last run asked for is shown.
class RunsWindow final : public QWidget {
    Q_OBJECT

  public:
    // The columns of the list.
    enum Column {
        RunColumn,
        StartedColumn,
        DurationColumn,
        TargetColumn,
        EndColumn,
        MinimumColumn,
        MaximumColumn,
        AlarmsColumn,
        ColumnCount
    };

    // `messages` shows the boxes; without it the window shows Qt message boxes over itself. The
    // folders the exports are saved in are remembered in the settings file at `settingsPath`.
    RunsWindow(QString archivePath, MessageBoxes* messages = nullptr, QWidget* parent = nullptr,
               QString settingsPath = settingsFile());
    ~RunsWindow() override;

    const QString& archivePath() const { return archivePath_; }

    // Reads the list of runs again.
    void refresh();
    // The filters: a text that any column of a run may contain (any case), and the dates (of the
    // run's own local time) the run started between, both included; none for no limit.
    void setTextFilter(const QString& text);
    void setDateRange(std::optional<QDate> from, std::optional<QDate> to);
    // The runs the list shows now, top to bottom.
    std::vector<std::int64_t> shownRuns() const;

    // Opens run `id`, or lays it over the open run's chart; read on a worker thread, shown when
    // read (runOpened, overlayOpened; loadFailed with the sentence shown).
    void openRun(std::int64_t id);
    void overlayRun(std::int64_t id);
    void removeOverlay();
    std::optional<std::int64_t> openRunId() const;
    std::optional<std::int64_t> overlayRunId() const;
    // Whether a read is under way.
    bool loading() const;

    // Writes the open run to `path`; on failure the operator is told and false returned.
    bool exportCsv(const QString& path, RunCsvForm form);
    bool exportReport(const QString& path);

    // The sentence the window shows about the archive or the last read (empty when there is
    // none).
    QString notice() const;

    // Shows the exported report; the system's PDF viewer unless replaced.
    PdfOpener openPdf;

    TemperatureChart& chart() const { return *chart_; }
    QTableView& runsTable() const { return *runsTable_; }
    QTableWidget& eventsTable() const { return *eventsTable_; }

  signals:
    void runOpened(std::int64_t id);
    void overlayOpened(std::int64_t id);
    void loadFailed(const QString& problem);

  private:
    enum class LoadKind { Open, Overlay };

    void buildFilters();
    void buildButtons();
    void startLoad(std::int64_t id, LoadKind kind);
    void loadFinished(std::uint64_t serial, LoadKind kind, const LoadResult& result);
    void showOpenRun();
    void showEvents();
    void updateButtons();
    void updateCaption();
    void showNotice(const QString& text);
    std::optional<std::int64_t> selectedRun() const;
    void exportCsvAsked();
    void exportReportAsked();

    QString archivePath_;
    QString settingsPath_;
    std::unique_ptr<MessageBoxes> ownMessages_;
    MessageBoxes* messages_;

    class RunListModel;
    class RunFilter;
    RunListModel* model_;
    RunFilter* filter_;

    // The run shown and the run laid over it, as read. The worker threads never see them: each
    // read hands its own LoadedRun over whole, through its future, to this (the UI) thread.
    std::shared_ptr<LoadedRun> open_;
    std::optional<RunRecord> overlay_;
    // Each read is numbered; only the last one of each kind is shown.
    std::uint64_t loadSerial_ = 0;
    std::uint64_t openSerial_ = 0;
    std::uint64_t overlaySerial_ = 0;
    int loadsUnderWay_ = 0;

    QLineEdit* textFilter_;
    QCheckBox* dateFilter_;
    QDateEdit* fromDate_;
    QDateEdit* toDate_;
    QPushButton* refreshButton_;
    QLabel* notice_;
    QTableView* runsTable_;
    QLabel* caption_;
    TemperatureChart* chart_;
    QTableWidget* eventsTable_;
    QPushButton* openButton_;
    QPushButton* overlayButton_;
    QPushButton* removeOverlayButton_;
    QPushButton* exportCsvButton_;
    QPushButton* reportButton_;
    QPushButton* closeButton_;
};

}  // namespace lumas::ui
