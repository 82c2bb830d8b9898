// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/sqlite_run_archive.h"

#include "core/programme_file.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <string_view>
#include <utility>

namespace lumas {

namespace {

std::atomic<int> connectionSerial{0};

QString utcText(const QDateTime& at) {
    return at.toUTC().toString(Qt::ISODateWithMs);
}

// The two digits of `text` at `at`, or -1.
int twoDigits(std::string_view text, std::size_t at) {
    const auto digit = [&](std::size_t k) {
        const char c = text[at + k];
        return c >= '0' && c <= '9' ? c - '0' : -100;
    };
    const int value = digit(0) * 10 + digit(1);
    return value < 0 ? -1 : value;
}

// A UTC time as the archive writes it (2026-12-10T07:00:01.500Z), read without the general ISO
// parser (the list reads three for every run); any other form through that parser.
QDateTime fromUtcText(const QVariant& value) {
    const QByteArray bytes = value.toByteArray();
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (text.size() == 24 && text[4] == '-' && text[7] == '-' && text[10] == 'T' &&
        text[13] == ':' && text[16] == ':' && text[19] == '.' && text[23] == 'Z') {
        const int century = twoDigits(text, 0);
        const int year = twoDigits(text, 2);
        const int msHigh = twoDigits(text, 20);
        const int msLow = text[22] >= '0' && text[22] <= '9' ? text[22] - '0' : -1;
        const QDate date(century * 100 + year, twoDigits(text, 5), twoDigits(text, 8));
        const QTime time(twoDigits(text, 11), twoDigits(text, 14), twoDigits(text, 17),
                         msHigh * 10 + msLow);
        if (century >= 0 && year >= 0 && msHigh >= 0 && msLow >= 0 && date.isValid() &&
            time.isValid()) {
            return QDateTime(date, time, Qt::UTC);
        }
    }
    QDateTime at = QDateTime::fromString(QString::fromUtf8(bytes), Qt::ISODateWithMs);
    at.setTimeSpec(Qt::UTC);
    return at;
}

QVariant tenthsOf(const std::optional<double>& celsius) {
    if (!celsius) {
        return QVariant(QMetaType(QMetaType::LongLong));  // NULL
    }
    return QVariant(static_cast<qlonglong>(std::llround(*celsius * 10.0)));
}

QVariant optionalReal(const std::optional<double>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Double));
}

// Text as the archive keeps it: never NULL (an empty text stays empty).
QVariant textOf(const QString& text) {
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

QString kindText(RunKind kind) {
    return kind == RunKind::Programme ? QStringLiteral("programme") : QStringLiteral("single");
}

// A programme as the archive keeps it: the programme file's compact form, as written (name, rows
// with their ramps, bands and repeats, end).
QString programmeJson(const Programme& programme) {
    return QString::fromUtf8(programmeCompactJson(programme.document()));
}

// Reads the number at `at` in `text` and moves past it.
std::optional<double> numberAt(std::string_view text, std::size_t& at) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (error != std::errc()) {
        return std::nullopt;
    }
    at = static_cast<std::size_t>(end - text.data());
    return value;
}

bool skip(std::string_view text, std::size_t& at, std::string_view expected) {
    if (text.substr(at, expected.size()) != expected) {
        return false;
    }
    at += expected.size();
    return true;
}

// The compact text of a plain programme (unnamed, steps of a temperature and a hold, ending with a
// Stop) in one exact layout: what comes before the steps, the fields of a step in their order, and
// what comes after the steps.
struct PlainForm {
    std::string_view head;
    std::string_view firstField;   // "{\"hold\":"
    std::string_view secondField;  // ",\"temperature\":"
    bool holdFirst = true;
    std::string_view tail;
};

// The form the archive wrote before programmes had names, ramps and repeats (QJsonDocument's
// compact form, keys sorted); runs recorded then are kept in it.
constexpr PlainForm kEarlierForm{R"({"end":"stop","format":"lumas-programme","steps":[)",
                                 R"({"hold":)", R"(,"temperature":)", true, R"(],"version":1})"};
// programmeCompactJson() of a plain programme.
constexpr PlainForm kFileForm{R"({"format":"lumas-programme","version":1,"name":"","steps":[)",
                              R"({"temperature":)", R"(,"hold":)", false, R"(],"end":"stop"})"};

// The steps of a plain programme written in `form`, read without building a JSON document: the
// list of runs reads every run's programme, and a document costs several microseconds each.
// Nothing when the text has another form (the caller reads it as a programme file then).
std::optional<std::vector<ProgrammeStep>> stepsInOwnForm(std::string_view json,
                                                         const PlainForm& form) {
    std::size_t at = 0;
    if (!skip(json, at, form.head)) {
        return std::nullopt;
    }
    std::vector<ProgrammeStep> steps;
    const auto ends = [&] { return skip(json, at, form.tail) && at == json.size(); };
    if (ends()) {
        return steps;
    }
    for (;;) {
        if (!skip(json, at, form.firstField)) {
            return std::nullopt;
        }
        const std::optional<double> first = numberAt(json, at);
        if (!first || !skip(json, at, form.secondField)) {
            return std::nullopt;
        }
        const std::optional<double> second = numberAt(json, at);
        if (!second || !skip(json, at, "}")) {
            return std::nullopt;
        }
        steps.push_back(form.holdFirst ? ProgrammeStep{*second, *first}
                                       : ProgrammeStep{*first, *second});
        if (ends()) {
            return steps;
        }
        if (!skip(json, at, ",")) {
            return std::nullopt;
        }
    }
}

std::optional<Programme> programmeFrom(const QByteArray& json) {
    if (json.isEmpty()) {
        return std::nullopt;
    }
    ProgrammeLimits any;
    any.minTemperature = -1e9;
    any.maxTemperature = 1e9;
    const std::string_view text(json.constData(), static_cast<std::size_t>(json.size()));
    for (const PlainForm* form : {&kEarlierForm, &kFileForm}) {
        if (auto own = stepsInOwnForm(text, *form)) {
            // A step of a fraction of a minute or a hold of 0 is no step make() takes: the
            // programme file's reader below takes it.
            auto made = Programme::make(std::move(*own), any);
            if (auto* programme = std::get_if<Programme>(&made)) {
                return std::move(*programme);
            }
            break;
        }
    }
    const ProgrammeRead read = parseProgrammeJson(json);
    const auto* document = std::get_if<ProgrammeDocument>(&read);
    if (document == nullptr) {
        return std::nullopt;
    }
    auto made = Programme::fromDocument(*document, any);
    if (auto* programme = std::get_if<Programme>(&made)) {
        return std::move(*programme);
    }
    return std::nullopt;
}

constexpr qsizetype kSealBlockBytes = qsizetype{64} * 1024;

void appendNumber(QByteArray& to, qlonglong value) {
    char digits[24];
    const auto [end, error] = std::to_chars(std::begin(digits), std::end(digits), value);
    to.append(digits, end - digits);
}

// A value of a reading as the seal takes it: "-" for none, an integer in decimal digits, anything
// else (a value that is no integer) as its text.
void appendValue(QByteArray& to, const QVariant& value) {
    if (value.isNull()) {
        to += '-';
    } else if (value.typeId() == QMetaType::LongLong) {
        appendNumber(to, value.toLongLong());
    } else {
        to += value.toString().toUtf8();
    }
}

// A reading's temperature, set point, step and link state packed into one integer by the query
// of readings(): the query's columns cost about as much as its rows, and a week's run has 403,200
// rows. Temperatures in tenths offset by kTenthsOffset (so 0 is none, and 0 °C is not), 24 bits
// each, then 8 bits of step and 4 of link state. A value beyond ±838,860.7 °C reads as none.
constexpr qint64 kTenthsOffset = 1 << 23;
const QString kPackedReadings = QStringLiteral(
    "SELECT t_ms,"
    " (CASE WHEN temp BETWEEN -8388607 AND 8388607 THEN temp + 8388608 ELSE 0 END << 36)"
    " | (CASE WHEN sp BETWEEN -8388607 AND 8388607 THEN sp + 8388608 ELSE 0 END << 12)"
    " | ((step & 255) << 4) | (link & 15)"
    " FROM readings WHERE run = ? ORDER BY t_ms");

std::optional<double> unpackedCelsius(qint64 field) {
    if (field == 0) {
        return std::nullopt;
    }
    return static_cast<double>(field - kTenthsOffset) / 10.0;
}

ArchivedReading unpackedReading(qint64 atMs, qint64 packed) {
    return {atMs, unpackedCelsius((packed >> 36) & 0xFFFFFF),
            unpackedCelsius((packed >> 12) & 0xFFFFFF), static_cast<int>((packed >> 4) & 0xFF),
            static_cast<LinkHealth::State>(packed & 0xF)};
}

// After the last row of a read: the error that ended it early, or nothing when all rows came.
std::optional<QString> readEnd(const QSqlQuery& query) {
    if (query.lastError().isValid()) {
        return query.lastError().text();
    }
    return std::nullopt;
}

std::optional<QString> failed(const QSqlQuery& query) {
    return query.lastError().text();
}

}  // namespace

bool isDamage(const QString& sqliteError) {
    return sqliteError.contains(QLatin1String("malformed"), Qt::CaseInsensitive) ||
           sqliteError.contains(QLatin1String("not a database"), Qt::CaseInsensitive);
}

OpenedRunArchive SqliteRunArchive::openArchive(const QString& path, Access access) {
    Opened opened = open(path, access);
    return {std::move(opened.archive), std::move(opened.problem)};
}

bool SqliteRunArchive::damaged(const QString& failure) const {
    return isDamage(failure);
}

QString defaultArchivePath() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome)) {
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(dataHome + QStringLiteral("/Lumas/runs.sqlite"));
}

SqliteRunArchive::SqliteRunArchive(QString path, QString connection, bool readOnly)
    : path_(std::move(path)), connection_(std::move(connection)), readOnly_(readOnly) {}

SqliteRunArchive::~SqliteRunArchive() {
    {
        QSqlDatabase db = database();
        if (db.isOpen()) {
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection_);
}

QSqlDatabase SqliteRunArchive::database() const {
    return QSqlDatabase::database(connection_, false);
}

SqliteRunArchive::Opened SqliteRunArchive::open(const QString& path, Access access) {
    Opened result;
    const bool writing = access == Access::ReadWrite;
    if (writing && !QDir().mkpath(QFileInfo(path).absolutePath())) {
        result.problem =
            QStringLiteral("The folder of the run archive %1 cannot be made.").arg(path);
        return result;
    }
    if (!writing && !QFileInfo::exists(path)) {
        result.problem = QStringLiteral("There is no run archive at %1.").arg(path);
        return result;
    }
    const auto connect = [&](bool readOnly) {
        const QString name = QStringLiteral("lumas-archive-%1").arg(++connectionSerial);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(readOnly
                                 ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000")
                                 : QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        std::unique_ptr<SqliteRunArchive> archive(new SqliteRunArchive(path, name, readOnly));
        if (!db.open()) {
            return std::pair{std::unique_ptr<SqliteRunArchive>(), db.lastError().text()};
        }
        return std::pair{std::move(archive), QString()};
    };

    auto [archive, error] = connect(!writing);
    if (!archive) {
        result.problem =
            QStringLiteral("The run archive %1 cannot be opened: %2.").arg(path, error);
        return result;
    }
    bool healthy = false;
    QString checkFailure;  // the check could not run at all (a full disk, a lock), not damage
    {
        // The writer checks every page (its cost grows with the archive), so that a damaged file
        // is set aside before it is written to. A reader reads the schema only, so that the list
        // of a large archive comes at once: a file that is no database at all is refused here,
        // damage further in is found by the read that meets it.
        QSqlQuery check(archive->database());
        const bool ran = check.exec(writing ? QStringLiteral("PRAGMA quick_check")
                                            : QStringLiteral("SELECT count(*) FROM sqlite_master"));
        if (ran) {
            healthy =
                check.next() && (!writing || check.value(0).toString() == QLatin1String("ok"));
        } else if (!isDamage(check.lastError().text())) {
            checkFailure = check.lastError().text();
        }
    }
    if (!checkFailure.isEmpty()) {
        archive.reset();
        result.problem =
            QStringLiteral("The run archive %1 cannot be opened: %2.").arg(path, checkFailure);
        return result;
    }
    if (!healthy) {
        archive.reset();
        if (!writing) {
            result.problem =
                QStringLiteral("The run archive %1 is damaged and cannot be read.").arg(path);
            return result;
        }
        const QString aside =
            path + QStringLiteral(".damaged-") +
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        if (!QFile::rename(path, aside)) {
            result.problem = QStringLiteral(
                                 "The run archive %1 is damaged and could not be set "
                                 "aside; runs are not recorded.")
                                 .arg(path);
            return result;
        }
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
        result.problem = QStringLiteral(
                             "The run archive %1 was damaged; it is kept as %2 and a new "
                             "one was begun.")
                             .arg(path, aside);
        auto [fresh, freshError] = connect(false);
        if (!fresh) {
            result.problem =
                QStringLiteral("The run archive %1 cannot be opened: %2.").arg(path, freshError);
            return result;
        }
        archive = std::move(fresh);
    }

    QSqlQuery version(archive->database());
    int found = 0;
    if (version.exec(QStringLiteral("PRAGMA user_version")) && version.next()) {
        found = version.value(0).toInt();
    }
    version = QSqlQuery();
    if (found > kSchemaVersion) {
        if (writing) {
            archive.reset();
            auto [readOnly, readError] = connect(true);
            if (!readOnly) {
                result.problem =
                    QStringLiteral("The run archive %1 cannot be opened: %2.").arg(path, readError);
                return result;
            }
            archive = std::move(readOnly);
        }
        result.problem = QStringLiteral(
                             "The run archive %1 was written by a newer Lumas (schema %2; "
                             "this one knows %3): it is opened read-only and runs are "
                             "not recorded in it.")
                             .arg(path)
                             .arg(found)
                             .arg(kSchemaVersion);
        result.archive = std::move(archive);
        return result;
    }
    if (writing) {
        if (const auto failure = archive->migrate()) {
            result.problem =
                QStringLiteral("The run archive %1 cannot be set up: %2.").arg(path, *failure);
            return result;
        }
    } else if (found < kSchemaVersion) {
        result.problem = QStringLiteral("The run archive %1 has not been set up yet.").arg(path);
        if (found == 0) {
            return result;
        }
    }
    result.archive = std::move(archive);
    return result;
}

std::optional<QString> SqliteRunArchive::migrate() {
    QSqlDatabase db = database();
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
        return failed(query);
    }
    query.finish();
    // Each commit reaches the disk before it counts as written: under NORMAL, WAL mode syncs only
    // at a checkpoint, and a power cut could take every commit since the last one (minutes of a
    // run), where the recording promises at most the last commit's interval.
    query.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    query.finish();
    int found = 0;
    if (query.exec(QStringLiteral("PRAGMA user_version")) && query.next()) {
        found = query.value(0).toInt();
    }
    query.finish();
    if (found >= kSchemaVersion) {
        return std::nullopt;
    }
    if (!db.transaction()) {
        return db.lastError().text();
    }
    // Schema 0 → 1: the tables.
    const char* const kSchema1[] = {
        "CREATE TABLE runs ("
        " id INTEGER PRIMARY KEY,"
        " started_utc TEXT NOT NULL,"
        " utc_offset_s INTEGER NOT NULL,"
        " ended_utc TEXT,"
        " end_reason TEXT,"
        " last_reading_utc TEXT,"
        " kind TEXT NOT NULL,"
        " single_set_point REAL,"
        " programme TEXT,"
        " threshold REAL NOT NULL,"
        " blind_stop_s INTEGER NOT NULL,"
        " port TEXT NOT NULL,"
        " user_name TEXT NOT NULL,"
        " host TEXT NOT NULL,"
        " version TEXT NOT NULL,"
        " continues INTEGER REFERENCES runs(id),"
        " min_temp REAL,"
        " max_temp REAL,"
        " alarms INTEGER NOT NULL DEFAULT 0,"
        " readings INTEGER NOT NULL DEFAULT 0,"
        " seal TEXT)",
        "CREATE TABLE readings ("
        " run INTEGER NOT NULL,"
        " t_ms INTEGER NOT NULL,"
        " temp INTEGER,"
        " sp INTEGER,"
        " step INTEGER NOT NULL,"
        " link INTEGER NOT NULL,"
        " PRIMARY KEY (run, t_ms)) WITHOUT ROWID",
        "CREATE TABLE events ("
        " run INTEGER NOT NULL,"
        " t_ms INTEGER NOT NULL,"
        " kind TEXT NOT NULL,"
        " text TEXT NOT NULL)",
        "CREATE INDEX events_of_run ON events(run, t_ms)",
        "PRAGMA user_version = 1",
    };
    for (const char* statement : kSchema1) {
        if (!query.exec(QLatin1String(statement))) {
            const QString error = query.lastError().text();
            db.rollback();
            return error;
        }
    }
    if (!db.commit()) {
        const QString error = db.lastError().text();
        db.rollback();
        return error;
    }
    return std::nullopt;
}

std::optional<std::int64_t> SqliteRunArchive::idOf(std::uint64_t key) const {
    const auto found = ids_.find(key);
    if (found == ids_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<QString> SqliteRunArchive::write(const ArchiveBatch& batch) {
    if (readOnly_) {
        return QStringLiteral("the archive is read-only");
    }
    if (batch.empty()) {
        return std::nullopt;
    }
    QSqlDatabase db = database();
    if (!db.transaction()) {
        return db.lastError().text();
    }
    std::map<std::uint64_t, std::int64_t> ids = ids_;
    for (const ArchiveBatch::Operation& operation : batch.operations) {
        if (auto failure = apply(operation, ids)) {
            db.rollback();
            return failure;
        }
    }
    if (!db.commit()) {
        const QString error = db.lastError().text();
        db.rollback();
        return error;
    }
    ids_ = std::move(ids);
    return std::nullopt;
}

std::optional<QString> SqliteRunArchive::apply(const ArchiveBatch::Operation& operation,
                                               std::map<std::uint64_t, std::int64_t>& ids) {
    QSqlDatabase db = database();
    if (const auto* begin = std::get_if<ArchiveBatch::Begin>(&operation)) {
        const RunStart& start = begin->start.start;
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral(
            "INSERT INTO runs (started_utc, utc_offset_s, kind, single_set_point, programme, "
            "threshold, blind_stop_s, port, user_name, host, version, continues) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        insert.addBindValue(utcText(start.startedAt));
        insert.addBindValue(start.startedAt.offsetFromUtc());
        insert.addBindValue(kindText(start.kind));
        insert.addBindValue(optionalReal(start.singleSetPoint));
        insert.addBindValue(start.programme ? programmeJson(*start.programme) : QString());
        insert.addBindValue(start.emergencyThreshold);
        insert.addBindValue(static_cast<qlonglong>(start.blindStopLimit.count()));
        insert.addBindValue(textOf(start.devicePath));
        insert.addBindValue(textOf(begin->start.user));
        insert.addBindValue(textOf(begin->start.host));
        insert.addBindValue(textOf(begin->start.version));
        insert.addBindValue(begin->start.continues
                                ? QVariant(static_cast<qlonglong>(*begin->start.continues))
                                : QVariant(QMetaType(QMetaType::LongLong)));
        if (!insert.exec()) {
            return failed(insert);
        }
        ids[begin->key] = insert.lastInsertId().toLongLong();
        return std::nullopt;
    }
    const auto keyOf = [](const ArchiveBatch::Operation& op) {
        return std::visit([](const auto& o) { return o.key; }, op);
    };
    const auto found = ids.find(keyOf(operation));
    if (found == ids.end()) {
        return QStringLiteral("a run that was never begun");
    }
    const std::int64_t run = found->second;
    if (const auto* readings = std::get_if<ArchiveBatch::Readings>(&operation)) {
        if (readings->readings.empty()) {
            return std::nullopt;
        }
        QSqlQuery started(db);
        started.prepare(QStringLiteral("SELECT started_utc FROM runs WHERE id = ?"));
        started.addBindValue(static_cast<qlonglong>(run));
        if (!started.exec() || !started.next()) {
            return failed(started);
        }
        const QDateTime startedAt = fromUtcText(started.value(0));
        QVariantList runs, times, temps, sps, steps, links;
        std::optional<double> lowest, highest;
        std::optional<std::int64_t> lastLive;
        for (const ArchivedReading& reading : readings->readings) {
            runs << static_cast<qlonglong>(run);
            times << static_cast<qlonglong>(reading.atMs);
            temps << tenthsOf(reading.temperature);
            sps << tenthsOf(reading.setPoint);
            steps << reading.step;
            links << static_cast<int>(reading.link);
            if (reading.temperature) {
                const double t = std::llround(*reading.temperature * 10.0) / 10.0;
                lowest = lowest ? std::min(*lowest, t) : t;
                highest = highest ? std::max(*highest, t) : t;
                lastLive = reading.atMs;
            }
        }
        QSqlQuery insert(db);
        insert.prepare(
            QStringLiteral("INSERT OR REPLACE INTO readings (run, t_ms, temp, sp, step, link) "
                           "VALUES (?, ?, ?, ?, ?, ?)"));
        insert.addBindValue(runs);
        insert.addBindValue(times);
        insert.addBindValue(temps);
        insert.addBindValue(sps);
        insert.addBindValue(steps);
        insert.addBindValue(links);
        if (!insert.execBatch()) {
            return failed(insert);
        }
        QSqlQuery update(db);
        update.prepare(
            QStringLiteral("UPDATE runs SET readings = readings + ?, "
                           "min_temp = CASE WHEN ? IS NULL THEN min_temp WHEN min_temp IS NULL OR "
                           "? < min_temp THEN ? ELSE min_temp END, "
                           "max_temp = CASE WHEN ? IS NULL THEN max_temp WHEN max_temp IS NULL OR "
                           "? > max_temp THEN ? ELSE max_temp END, "
                           "last_reading_utc = COALESCE(?, last_reading_utc) WHERE id = ?"));
        update.addBindValue(static_cast<qlonglong>(readings->readings.size()));
        for (int k = 0; k < 3; ++k) {
            update.addBindValue(optionalReal(lowest));
        }
        for (int k = 0; k < 3; ++k) {
            update.addBindValue(optionalReal(highest));
        }
        update.addBindValue(lastLive ? QVariant(utcText(startedAt.addMSecs(*lastLive)))
                                     : QVariant(QMetaType(QMetaType::QString)));
        update.addBindValue(static_cast<qlonglong>(run));
        if (!update.exec()) {
            return failed(update);
        }
        return std::nullopt;
    }
    if (const auto* events = std::get_if<ArchiveBatch::Events>(&operation)) {
        int alarms = 0;
        QSqlQuery insert(db);
        insert.prepare(
            QStringLiteral("INSERT INTO events (run, t_ms, kind, text) VALUES (?, ?, ?, ?)"));
        for (const ArchivedEvent& event : events->events) {
            insert.addBindValue(static_cast<qlonglong>(run));
            insert.addBindValue(static_cast<qlonglong>(event.atMs));
            insert.addBindValue(textOf(event.kind));
            insert.addBindValue(textOf(event.text));
            if (!insert.exec()) {
                return failed(insert);
            }
            alarms += isAlarmEvent(event.kind) ? 1 : 0;
        }
        if (alarms > 0) {
            QSqlQuery update(db);
            update.prepare(QStringLiteral("UPDATE runs SET alarms = alarms + ? WHERE id = ?"));
            update.addBindValue(alarms);
            update.addBindValue(static_cast<qlonglong>(run));
            if (!update.exec()) {
                return failed(update);
            }
        }
        // An event after the run's end (an alarm acknowledged): sealed again with it.
        QSqlQuery ended(db);
        ended.prepare(QStringLiteral("SELECT seal IS NOT NULL FROM runs WHERE id = ?"));
        ended.addBindValue(static_cast<qlonglong>(run));
        if (ended.exec() && ended.next() && ended.value(0).toBool()) {
            return seal(run);
        }
        return std::nullopt;
    }
    const auto& end = std::get<ArchiveBatch::End>(operation);
    QSqlQuery update(db);
    update.prepare(QStringLiteral(
        "UPDATE runs SET ended_utc = ?, end_reason = ? WHERE id = ? AND ended_utc IS NULL"));
    update.addBindValue(utcText(end.at));
    update.addBindValue(textOf(end.reason));
    update.addBindValue(static_cast<qlonglong>(run));
    if (!update.exec()) {
        return failed(update);
    }
    return seal(run);
}

QByteArray SqliteRunArchive::sealOf(std::int64_t id) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QSqlDatabase db = database();
    QSqlQuery run(db);
    run.prepare(QStringLiteral(
        "SELECT id, started_utc, utc_offset_s, ended_utc, end_reason, kind, single_set_point, "
        "programme, threshold, blind_stop_s, port, user_name, host, version, continues, "
        "min_temp, max_temp, alarms, readings, last_reading_utc FROM runs WHERE id = ?"));
    run.addBindValue(static_cast<qlonglong>(id));
    if (!run.exec() || !run.next()) {
        return {};
    }
    // Every column but the seal: the summary the list shows (minimum, maximum, alarms, readings,
    // last reading) is sealed with the rows it was drawn from.
    for (int k = 0; k < 20; ++k) {
        hash.addData(run.value(k).toString().toUtf8());
        hash.addData(QByteArrayView("\x1f"));
    }
    QSqlQuery readings(db);
    readings.setForwardOnly(true);
    readings.prepare(QStringLiteral(
        "SELECT t_ms, temp, sp, step, link FROM readings WHERE run = ? ORDER BY t_ms"));
    readings.addBindValue(static_cast<qlonglong>(id));
    if (!readings.exec()) {
        return {};
    }
    // Each reading as the line "r<t_ms>|<temp>|<sp>|<step>|<link>\n", "-" for none, the values as
    // the database holds them; hashed a block of lines at a time.
    QByteArray block;
    block.reserve(kSealBlockBytes + 128);
    while (readings.next()) {
        block += 'r';
        appendNumber(block, readings.value(0).toLongLong());
        block += '|';
        appendValue(block, readings.value(1));
        block += '|';
        appendValue(block, readings.value(2));
        block += '|';
        appendNumber(block, readings.value(3).toInt());
        block += '|';
        appendNumber(block, readings.value(4).toInt());
        block += '\n';
        if (block.size() >= kSealBlockBytes) {
            hash.addData(block);
            block.clear();
        }
    }
    hash.addData(block);
    QSqlQuery events(db);
    events.setForwardOnly(true);
    events.prepare(
        QStringLiteral("SELECT t_ms, kind, text FROM events WHERE run = ? ORDER BY t_ms, rowid"));
    events.addBindValue(static_cast<qlonglong>(id));
    if (!events.exec()) {
        return {};
    }
    while (events.next()) {
        hash.addData(QStringLiteral("e%1|%2|%3\n")
                         .arg(events.value(0).toLongLong())
                         .arg(events.value(1).toString(), events.value(2).toString())
                         .toUtf8());
    }
    return hash.result().toHex();
}

std::optional<QString> SqliteRunArchive::seal(std::int64_t id) {
    const QByteArray sealed = sealOf(id);
    if (sealed.isEmpty()) {
        return QStringLiteral("the run's record could not be read to seal it");
    }
    QSqlQuery update(database());
    update.prepare(QStringLiteral("UPDATE runs SET seal = ? WHERE id = ?"));
    update.addBindValue(QString::fromLatin1(sealed));
    update.addBindValue(static_cast<qlonglong>(id));
    if (!update.exec()) {
        return failed(update);
    }
    return std::nullopt;
}

std::vector<ArchivedRun> SqliteRunArchive::closeUnfinished() {
    std::vector<ArchivedRun> closed;
    if (readOnly_) {
        return closed;
    }
    QSqlDatabase db = database();
    QSqlQuery open(db);
    std::vector<std::int64_t> ids;
    if (open.exec(QStringLiteral("SELECT id FROM runs WHERE ended_utc IS NULL ORDER BY id"))) {
        while (open.next()) {
            ids.push_back(open.value(0).toLongLong());
        }
    }
    open = QSqlQuery();
    for (const std::int64_t id : ids) {
        if (!db.transaction()) {
            break;
        }
        QSqlQuery update(db);
        update.prepare(QStringLiteral(
            "UPDATE runs SET ended_utc = COALESCE(last_reading_utc, started_utc), end_reason = ? "
            "WHERE id = ?"));
        update.addBindValue(kEndedUnexpectedly);
        update.addBindValue(static_cast<qlonglong>(id));
        if (!update.exec() || seal(id)) {
            db.rollback();
            continue;
        }
        if (!db.commit()) {
            db.rollback();
            continue;
        }
        if (auto found = run(id)) {
            closed.push_back(std::move(*found));
        }
    }
    return closed;
}

namespace {

// The times and the programme come as bytes (the database's own UTF-8), not as text: the list of
// 10,000 runs would otherwise spend much of its time turning them into UTF-16 and back.
const QString kRunColumns = QStringLiteral(
    "id, CAST(started_utc AS BLOB), utc_offset_s, CAST(ended_utc AS BLOB), end_reason, "
    "CAST(last_reading_utc AS BLOB), kind, single_set_point, CAST(programme AS BLOB), threshold, "
    "blind_stop_s, port, user_name, host, version, continues, min_temp, max_temp, alarms, "
    "readings, seal");

ArchivedRun runFrom(const QSqlQuery& q) {
    ArchivedRun run;
    run.id = q.value(0).toLongLong();
    run.started = fromUtcText(q.value(1));
    run.utcOffsetSeconds = q.value(2).toInt();
    if (!q.value(3).isNull()) {
        run.ended = fromUtcText(q.value(3));
    }
    run.endReason = q.value(4).toString();
    if (!q.value(5).isNull()) {
        run.lastReading = fromUtcText(q.value(5));
    }
    run.kind =
        q.value(6).toString() == QLatin1String("programme") ? RunKind::Programme : RunKind::Single;
    if (!q.value(7).isNull()) {
        run.singleSetPoint = q.value(7).toDouble();
    }
    run.programme = programmeFrom(q.value(8).toByteArray());
    run.threshold = q.value(9).toDouble();
    run.blindStopSeconds = q.value(10).toLongLong();
    run.port = q.value(11).toString();
    run.user = q.value(12).toString();
    run.host = q.value(13).toString();
    run.version = q.value(14).toString();
    if (!q.value(15).isNull()) {
        run.continues = q.value(15).toLongLong();
    }
    if (!q.value(16).isNull()) {
        run.minimum = q.value(16).toDouble();
    }
    if (!q.value(17).isNull()) {
        run.maximum = q.value(17).toDouble();
    }
    run.alarms = q.value(18).toInt();
    run.readings = q.value(19).toLongLong();
    run.seal = q.value(20).toString();
    return run;
}

}  // namespace

std::vector<ArchivedRun> SqliteRunArchive::runs() {
    std::vector<ArchivedRun> all;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT ") + kRunColumns +
                    QStringLiteral(" FROM runs ORDER BY id DESC"))) {
        readFailure_ = query.lastError().text();
        return all;
    }
    while (query.next()) {
        all.push_back(runFrom(query));
    }
    readFailure_ = readEnd(query);
    return all;
}

std::optional<ArchivedRun> SqliteRunArchive::run(std::int64_t id) {
    QSqlQuery query(database());
    query.prepare(QStringLiteral("SELECT ") + kRunColumns +
                  QStringLiteral(" FROM runs WHERE id = ?"));
    query.addBindValue(static_cast<qlonglong>(id));
    if (!query.exec() || !query.next()) {
        readFailure_ = readEnd(query);
        return std::nullopt;
    }
    readFailure_.reset();
    return runFrom(query);
}

std::vector<ArchivedReading> SqliteRunArchive::readings(std::int64_t id) {
    std::vector<ArchivedReading> all;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (const std::optional<ArchivedRun> found = run(id)) {
        // The count as the run keeps it, within what the longest programme can hold.
        all.reserve(
            static_cast<std::size_t>(std::clamp<std::int64_t>(found->readings, 0, 8'000'000)));
    }
    query.prepare(kPackedReadings);
    query.addBindValue(static_cast<qlonglong>(id));
    if (!query.exec()) {
        readFailure_ = query.lastError().text();
        return all;
    }
    while (query.next()) {
        all.push_back(unpackedReading(query.value(0).toLongLong(), query.value(1).toLongLong()));
    }
    readFailure_ = readEnd(query);
    return all;
}

std::vector<ArchivedEvent> SqliteRunArchive::events(std::int64_t id) {
    std::vector<ArchivedEvent> all;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT t_ms, kind, text FROM events WHERE run = ? ORDER BY t_ms, rowid"));
    query.addBindValue(static_cast<qlonglong>(id));
    if (!query.exec()) {
        readFailure_ = query.lastError().text();
        return all;
    }
    while (query.next()) {
        all.push_back(
            {query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toString()});
    }
    readFailure_ = readEnd(query);
    return all;
}

std::optional<bool> SqliteRunArchive::verify(std::int64_t id) {
    const std::optional<ArchivedRun> found = run(id);
    if (!found || found->seal.isEmpty()) {
        return std::nullopt;
    }
    const QByteArray sealed = sealOf(id);
    if (sealed.isEmpty()) {
        readFailure_ = QStringLiteral("the run's rows could not be read");
        return std::nullopt;
    }
    return QString::fromLatin1(sealed) == found->seal;
}

}  // namespace lumas
