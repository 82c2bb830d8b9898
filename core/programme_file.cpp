// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/programme_file.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSaveFile>

#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

namespace lumas {

namespace {

const QString kFormat = QStringLiteral("lumas-programme");
constexpr int kVersion = 1;
constexpr qint64 kMaxFileBytes = qint64{4} * 1024 * 1024;

// The faults of one document's form, gathered in the order they are found.
class FormCheck {
  public:
    void fault(int row, const QString& field, QString text) {
        faults.emplace_back(row, std::move(text), field);
    }

    // `value` as a number of a field, or a fault naming the field.
    std::optional<double> number(int row, const QString& field, const QJsonValue& value) {
        if (!value.isDouble()) {
            fault(row, field, QStringLiteral("The %1 must be a number.").arg(label(field)));
            return std::nullopt;
        }
        return value.toDouble();
    }

    // `value` as a whole number of a repeat's field.
    std::optional<int> wholeNumber(int row, const QString& field, const QJsonValue& value) {
        const double number = value.toDouble(std::numeric_limits<double>::quiet_NaN());
        if (!value.isDouble() || !(std::trunc(number) == number) ||
            !(std::abs(number) <= std::numeric_limits<int>::max())) {
            fault(row, field, QStringLiteral("The %1 must be a whole number.").arg(label(field)));
            return std::nullopt;
        }
        return static_cast<int>(number);
    }

    // The fields of `object` that are not among `known`, one fault each.
    void unknownKeys(int row, const QString& prefix, const QJsonObject& object,
                     std::initializer_list<QLatin1StringView> known) {
        for (auto it = object.begin(); it != object.end(); ++it) {
            const QString key = it.key();
            if (std::find(known.begin(), known.end(), key) == known.end()) {
                fault(row, prefix + key,
                      QStringLiteral("\"%1\" is not a field Lumas knows here.").arg(key));
            }
        }
    }

    std::vector<ProgrammeFault> faults;

  private:
    static QString label(const QString& field) {
        if (field == QLatin1String("hold")) {
            return QStringLiteral("hold time");
        }
        if (field == QLatin1String("ramp")) {
            return QStringLiteral("ramp time");
        }
        if (field.startsWith(QLatin1String("repeat."))) {
            return QStringLiteral("repeat's \"%1\"").arg(field.mid(7));
        }
        return field;
    }
};

std::optional<ProgrammeRow> stepRow(FormCheck& check, int row, const QJsonObject& object) {
    check.unknownKeys(
        row, {}, object,
        {QLatin1StringView("temperature"), QLatin1StringView("rate"), QLatin1StringView("ramp"),
         QLatin1StringView("hold"), QLatin1StringView("band")});
    const std::size_t before = check.faults.size();
    ProgrammeStep step;
    step.row = row;
    const auto required = [&](const QString& field, double& to) {
        const QJsonValue value = object.value(field);
        if (value.isUndefined()) {
            check.fault(row, field,
                        field == QLatin1StringView("hold")
                            ? QStringLiteral("A step needs a hold time.")
                            : QStringLiteral("A step needs a %1.").arg(field));
        } else if (auto number = check.number(row, field, value)) {
            to = *number;
        }
    };
    const auto optional = [&](const QString& field, std::optional<double>& to) {
        const QJsonValue value = object.value(field);
        if (!value.isUndefined()) {
            to = check.number(row, field, value);
        }
    };
    required(QStringLiteral("temperature"), step.temperature);
    optional(QStringLiteral("rate"), step.rate);
    optional(QStringLiteral("ramp"), step.rampMinutes);
    required(QStringLiteral("hold"), step.holdMinutes);
    optional(QStringLiteral("band"), step.band);
    if (object.contains(QLatin1StringView("rate")) && object.contains(QLatin1StringView("ramp"))) {
        check.fault(row, QStringLiteral("ramp"),
                    QStringLiteral("A step ramps at a rate or in a time, not both."));
    }
    if (check.faults.size() != before) {
        return std::nullopt;
    }
    return step;
}

std::optional<ProgrammeRow> repeatRow(FormCheck& check, int row, const QJsonObject& object) {
    check.unknownKeys(row, {}, object, {QLatin1StringView("repeat")});
    const QJsonValue value = object.value(QLatin1StringView("repeat"));
    if (!value.isObject()) {
        check.fault(row, QStringLiteral("repeat"),
                    QStringLiteral("A repeat must be an object with \"from\", \"to\" and "
                                   "\"times\"."));
        return std::nullopt;
    }
    const QJsonObject repeat = value.toObject();
    const std::size_t before = check.faults.size();
    check.unknownKeys(
        row, QStringLiteral("repeat."), repeat,
        {QLatin1StringView("from"), QLatin1StringView("to"), QLatin1StringView("times")});
    ProgrammeRepeat read;
    const auto field = [&](const char* name, int& to) {
        const QString key = QString::fromLatin1(name);
        const QString path = QStringLiteral("repeat.") + key;
        if (!repeat.contains(key)) {
            check.fault(row, path, QStringLiteral("A repeat needs \"%1\".").arg(key));
        } else if (auto number = check.wholeNumber(row, path, repeat.value(key))) {
            to = *number;
        }
    };
    field("from", read.from);
    field("to", read.to);
    field("times", read.times);
    if (check.faults.size() != before) {
        return std::nullopt;
    }
    return read;
}

// A number as short as it reads back exactly; null for a value JSON cannot hold.
void appendNumber(QByteArray& to, double value) {
    if (!std::isfinite(value)) {
        to += "null";
        return;
    }
    char digits[32];
    const auto [end, error] = std::to_chars(std::begin(digits), std::end(digits), value);
    to.append(digits, end - digits);
}

void appendString(QByteArray& to, const QString& text) {
    to += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
            case '"':
                to += "\\\"";
                break;
            case '\\':
                to += "\\\\";
                break;
            case '\n':
                to += "\\n";
                break;
            case '\r':
                to += "\\r";
                break;
            case '\t':
                to += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    to += escaped;
                } else {
                    to += c;
                }
        }
    }
    to += '"';
}

void appendRow(QByteArray& to, const ProgrammeRow& row, const char* space) {
    const auto field = [&](const char* name, double value, bool first = false) {
        if (!first) {
            to += ',';
            to += space;
        }
        to += '"';
        to += name;
        to += "\":";
        to += space;
        appendNumber(to, value);
    };
    if (const auto* step = std::get_if<ProgrammeStep>(&row)) {
        to += '{';
        field("temperature", step->temperature, true);
        if (step->rate) {
            field("rate", *step->rate);
        }
        if (step->rampMinutes) {
            field("ramp", *step->rampMinutes);
        }
        field("hold", step->holdMinutes);
        if (step->band) {
            field("band", *step->band);
        }
        to += '}';
        return;
    }
    const auto& repeat = std::get<ProgrammeRepeat>(row);
    to += "{\"repeat\":";
    to += space;
    to += '{';
    field("from", repeat.from, true);
    field("to", repeat.to);
    field("times", repeat.times);
    to += "}}";
}

// The document in the file's key order; `indented` puts each field of the file and each row on a
// line of its own.
QByteArray documentJson(const ProgrammeDocument& document, bool indented) {
    const char* space = indented ? " " : "";
    const char* open = indented ? "\n  " : "";
    const char* next = indented ? ",\n  " : ",";
    QByteArray json;
    json.reserve(96 + 48 * static_cast<qsizetype>(document.rows.size()));
    json += '{';
    json += open;
    json += "\"format\":";
    json += space;
    appendString(json, kFormat);
    json += next;
    json += "\"version\":";
    json += space;
    json += QByteArray::number(kVersion);
    json += next;
    json += "\"name\":";
    json += space;
    appendString(json, document.name);
    json += next;
    json += "\"steps\":";
    json += space;
    json += '[';
    for (std::size_t k = 0; k < document.rows.size(); ++k) {
        json += k == 0 ? (indented ? "\n    " : "") : (indented ? ",\n    " : ",");
        appendRow(json, document.rows[k], space);
    }
    if (indented && !document.rows.empty()) {
        json += "\n  ";
    }
    json += ']';
    json += next;
    json += "\"end\":";
    json += space;
    appendString(
        json, document.end == ProgrammeEnd::Hold ? QStringLiteral("hold") : QStringLiteral("stop"));
    json += indented ? "\n}\n" : "}";
    return json;
}

}  // namespace

ProgrammeRead parseProgrammeJson(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(json, &error);
    FormCheck check;
    if (error.error != QJsonParseError::NoError) {
        check.fault(0, {},
                    QStringLiteral("The file is not valid JSON: %1 at byte %2.")
                        .arg(error.errorString())
                        .arg(error.offset));
        return std::move(check.faults);
    }
    if (!parsed.isObject()) {
        check.fault(0, {}, QStringLiteral("The file does not hold a JSON object."));
        return std::move(check.faults);
    }
    const QJsonObject root = parsed.object();
    if (root.value(QLatin1StringView("format")).toString() != kFormat) {
        check.fault(0, QStringLiteral("format"),
                    QStringLiteral("The file is not a Lumas programme: its \"format\" must be "
                                   "\"lumas-programme\"."));
        return std::move(check.faults);
    }
    const QJsonValue version = root.value(QLatin1StringView("version"));
    if (!version.isDouble()) {
        check.fault(0, QStringLiteral("version"),
                    QStringLiteral("The file's \"version\" must be a number; Lumas reads version "
                                   "1."));
        return std::move(check.faults);
    }
    if (version.toDouble() != kVersion) {
        check.fault(0, QStringLiteral("version"),
                    QStringLiteral("The file is version %1 of the programme format; Lumas reads "
                                   "version 1.")
                        .arg(QString::number(version.toDouble())));
        return std::move(check.faults);
    }
    check.unknownKeys(
        0, {}, root,
        {QLatin1StringView("format"), QLatin1StringView("version"), QLatin1StringView("name"),
         QLatin1StringView("steps"), QLatin1StringView("end")});

    ProgrammeDocument document;
    const QJsonValue name = root.value(QLatin1StringView("name"));
    if (name.isString()) {
        document.name = name.toString();
    } else if (!name.isUndefined()) {
        check.fault(0, QStringLiteral("name"), QStringLiteral("The name must be a text."));
    }
    const QJsonValue end = root.value(QLatin1StringView("end"));
    if (end.isUndefined() || end.toString() == QLatin1StringView("stop")) {
        document.end = ProgrammeEnd::Stop;
    } else if (end.toString() == QLatin1StringView("hold")) {
        document.end = ProgrammeEnd::Hold;
    } else {
        check.fault(0, QStringLiteral("end"),
                    QStringLiteral("The end must be \"stop\" or \"hold\"."));
    }

    const QJsonValue steps = root.value(QLatin1StringView("steps"));
    if (!steps.isArray()) {
        check.fault(0, QStringLiteral("steps"),
                    QStringLiteral("The file needs \"steps\", a list of steps and repeats."));
        return std::move(check.faults);
    }
    const QJsonArray rows = steps.toArray();
    // Rows past the limit are not read: a file of a million empty rows is refused at once.
    if (rows.size() > Programme::kMaxRows) {
        check.fault(0, QStringLiteral("steps"),
                    QStringLiteral("A programme has at most %1 rows; this one has %2.")
                        .arg(Programme::kMaxRows)
                        .arg(rows.size()));
        return std::move(check.faults);
    }
    document.rows.reserve(static_cast<std::size_t>(rows.size()));
    for (qsizetype k = 0; k < rows.size(); ++k) {
        const int row = static_cast<int>(k) + 1;
        const QJsonValue entry = rows.at(k);
        if (!entry.isObject()) {
            check.fault(row, {},
                        QStringLiteral("A row must be a JSON object: a step or a repeat."));
            continue;
        }
        const QJsonObject object = entry.toObject();
        std::optional<ProgrammeRow> read = object.contains(QLatin1StringView("repeat"))
                                               ? repeatRow(check, row, object)
                                               : stepRow(check, row, object);
        if (read) {
            document.rows.push_back(*read);
        }
    }
    if (!check.faults.empty()) {
        return std::move(check.faults);
    }
    return document;
}

QByteArray programmeFileJson(const ProgrammeDocument& document) {
    return documentJson(document, true);
}

QByteArray programmeCompactJson(const ProgrammeDocument& document) {
    return documentJson(document, false);
}

ProgrammeRead loadProgrammeFile(const QString& path) {
    QFile file(path);
    const auto fault = [&](const QString& text) {
        return std::vector<ProgrammeFault>{ProgrammeFault(0, text)};
    };
    if (!file.open(QIODevice::ReadOnly)) {
        return fault(QStringLiteral("The programme file %1 cannot be read: %2.")
                         .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    // Read up to one byte past the limit: the size of a pipe or a device is not known before.
    const QByteArray json = file.read(kMaxFileBytes + 1);
    if (json.size() > kMaxFileBytes) {
        return fault(QStringLiteral("The file %1 is larger than 4 MB: it is not a programme file.")
                         .arg(QDir::toNativeSeparators(path)));
    }
    if (file.error() != QFileDevice::NoError) {
        return fault(QStringLiteral("The programme file %1 cannot be read: %2.")
                         .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    return parseProgrammeJson(json);
}

std::optional<QString> saveProgrammeFile(const QString& path, const ProgrammeDocument& document) {
    QSaveFile file(path);
    const auto failed = [&] {
        return QStringLiteral(
                   "The programme could not be saved to %1: %2. The file is as it was "
                   "before.")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    };
    if (!file.open(QIODevice::WriteOnly)) {
        return failed();
    }
    const QByteArray json = programmeFileJson(document);
    if (file.write(json) != json.size() || !file.commit()) {
        const QString why = failed();
        file.cancelWriting();
        return why;
    }
    return std::nullopt;
}

QString programmesFolder() {
    // Beside the run archive (defaultArchivePath()), in the same data folder.
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome)) {
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(dataHome + QStringLiteral("/Lumas/programmes"));
}

QString programmeFaultText(const ProgrammeFault& fault) {
    if (fault.step == 0) {
        return fault.text;
    }
    if (fault.field.isEmpty()) {
        return QStringLiteral("Step %1: %2").arg(fault.step).arg(fault.text);
    }
    return QStringLiteral("Step %1, %2: %3")
        .arg(QString::number(fault.step), fault.field, fault.text);
}

}  // namespace lumas
