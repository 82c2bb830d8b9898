// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// Programme files: the form a file must have, the rules its rows must keep, how repeats unroll,
// and a document written and read back unchanged.

#include "core/programme_file.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <limits>
#include <ostream>

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace lumas {

void PrintTo(const ProgrammeFault& fault, std::ostream* out) {
    *out << "{" << fault.step << ", \"" << fault.field.toStdString() << "\", \""
         << fault.text.toStdString() << "\"}";
}

namespace {

// Where a fault is: its row and its field.
struct Place {
    int step;
    QString field;
    friend bool operator==(const Place&, const Place&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Place& place) {
        return out << "{" << place.step << ", \"" << place.field.toStdString() << "\"}";
    }
};

ProgrammeLimits defaultLimits() {
    return {-70.0, 500.0, QLocale::c()};
}

// Every fault of `json`: those of its form, or else those of its rows.
std::vector<ProgrammeFault> faultsOf(const QByteArray& json) {
    const ProgrammeRead read = parseProgrammeJson(json);
    if (const auto* faults = std::get_if<std::vector<ProgrammeFault>>(&read)) {
        return *faults;
    }
    return Programme::checkDocument(std::get<ProgrammeDocument>(read), defaultLimits());
}

std::vector<Place> placesOf(const std::vector<ProgrammeFault>& faults) {
    std::vector<Place> places;
    for (const ProgrammeFault& fault : faults) {
        places.push_back({fault.step, fault.field});
    }
    return places;
}

// A file of the given rows (JSON text of the "steps" array without its brackets).
QByteArray file(const char* steps, const char* extra = "") {
    return QByteArray(R"({"format": "lumas-programme", "version": 1, )") + extra + R"("steps": [)" +
           steps + "]}";
}

const char* const kStep = R"({"temperature": 25, "hold": 10})";

QByteArray rowsOf(const char* row, int count) {
    QByteArray rows;
    for (int k = 0; k < count; ++k) {
        rows += (k == 0 ? "" : ",") + QByteArray(row);
    }
    return rows;
}

TEST(ProgrammeFile, BrokenFilesNameTheirRowAndField) {
    struct Case {
        const char* name;
        QByteArray json;
        std::vector<Place> expected;
    };
    const QByteArray tooManyRows = file(rowsOf(kStep, Programme::kMaxRows + 1).constData());
    const std::vector<Case> cases = {
        // The file as a whole.
        {"not JSON", R"({"format": "lumas-programme",)", {{0, ""}}},
        {"not an object", "[1, 2]", {{0, ""}}},
        {"another format", R"({"format": "csv", "version": 1, "steps": []})", {{0, "format"}}},
        {"another version",
         R"({"format": "lumas-programme", "version": 2, "steps": []})",
         {{0, "version"}}},
        {"a misspelt field of the file", file(kStep, R"("nmae": "x", )"), {{0, "nmae"}}},
        {"no steps", R"({"format": "lumas-programme", "version": 1})", {{0, "steps"}}},
        {"an end that is neither", file(kStep, R"("end": "pause", )"), {{0, "end"}}},
        {"a name that is no text", file(kStep, R"("name": 5, )"), {{0, "name"}}},
        {"too many rows", tooManyRows, {{0, "steps"}}},
        {"no rows", file(""), {{0, ""}}},
        {"only a repeat", file(R"({"repeat": {"from": 1, "to": 1, "times": 2}})"), {{0, ""}}},
        // The form of a row: every fault, in row order.
        {"a misspelt field of a step",
         file(R"({"temperature": 25, "hold": 10}, {"tempreature": 25, "hold": 10})"),
         {{2, "tempreature"}, {2, "temperature"}}},
        {"a row that is no object",
         file(R"(5, {"temperature": 25, "hold": "ten"})"),
         {{1, ""}, {2, "hold"}}},
        {"a null rate", file(R"({"temperature": 25, "hold": 10, "rate": null})"), {{1, "rate"}}},
        {"no hold", file(R"({"temperature": 25})"), {{1, "hold"}}},
        {"rate and ramp",
         file(R"({"temperature": 25, "hold": 10, "rate": 1, "ramp": 5})"),
         {{1, "ramp"}}},
        {"a repeat with a field it does not know",
         file(R"({"temperature": 25, "hold": 10},
                 {"repeat": {"from": 1, "to": 1, "count": 2}})"),
         {{2, "repeat.count"}, {2, "repeat.times"}}},
        {"a repeat beside a step's fields",
         file(R"({"temperature": 25, "hold": 10},
                 {"repeat": {"from": 1, "to": 1, "times": 2}, "hold": 3})"),
         {{2, "hold"}}},
        {"a repeat from a fraction of a row",
         file(R"({"temperature": 25, "hold": 10}, {"repeat": {"from": 1.5, "to": 1, "times": 2}})"),
         {{2, "repeat.from"}}},
        {"a repeat times beyond any count",
         file(
             R"({"temperature": 25, "hold": 10}, {"repeat": {"from": 1, "to": 1, "times": 1e308}})"),
         {{2, "repeat.times"}}},
        // The values of a step.
        {"temperature above the range",
         file(R"({"temperature": 500.1, "hold": 10})"),
         {{1, "temperature"}}},
        {"temperature below the range",
         file(R"({"temperature": -70.01, "hold": 10})"),
         {{1, "temperature"}}},
        {"temperature of 1e308",
         file(R"({"temperature": 1e308, "hold": 10})"),
         {{1, "temperature"}}},
        {"negative hold", file(R"({"temperature": 25, "hold": -1})"), {{1, "hold"}}},
        {"hold over a year", file(R"({"temperature": 25, "hold": 525600.5})"), {{1, "hold"}}},
        {"hold 0 on a jump", file(R"({"temperature": 25, "hold": 0})"), {{1, "hold"}}},
        {"rate 0", file(R"({"temperature": 25, "hold": 1, "rate": 0})"), {{1, "rate"}}},
        {"rate above 100",
         file(R"({"temperature": 25, "hold": 1, "rate": 100.001})"),
         {{1, "rate"}}},
        {"ramp 0", file(R"({"temperature": 25, "hold": 1, "ramp": 0})"), {{1, "ramp"}}},
        {"ramp over a year",
         file(R"({"temperature": 25, "hold": 1, "ramp": 525601})"),
         {{1, "ramp"}}},
        {"band 0", file(R"({"temperature": 25, "hold": 1, "band": 0})"), {{1, "band"}}},
        {"band above 50", file(R"({"temperature": 25, "hold": 1, "band": 50.5})"), {{1, "band"}}},
        {"every fault of a step",
         file(R"({"temperature": 25, "hold": 10}, {"temperature": 900, "hold": -1, "band": 99})"),
         {{2, "temperature"}, {2, "hold"}, {2, "band"}}},
        // Repeats.
        {"a repeat as the first row",
         file(R"({"repeat": {"from": 1, "to": 1, "times": 2}}, {"temperature": 25, "hold": 1})"),
         {{1, "repeat.to"}}},
        {"a repeat from row 0",
         file(R"({"temperature": 25, "hold": 1}, {"repeat": {"from": 0, "to": 1, "times": 2}})"),
         {{2, "repeat.from"}}},
        {"a repeat that ends before it starts",
         file(R"({"temperature": 25, "hold": 1}, {"temperature": 30, "hold": 1},
                 {"repeat": {"from": 2, "to": 1, "times": 2}})"),
         {{3, "repeat.to"}, {3, "repeat.to"}}},
        {"a repeat that leaves a row between it and its range",
         file(R"({"temperature": 25, "hold": 1}, {"temperature": 30, "hold": 1},
                 {"repeat": {"from": 1, "to": 1, "times": 2}})"),
         {{3, "repeat.to"}}},
        {"times 0",
         file(R"({"temperature": 25, "hold": 1}, {"repeat": {"from": 1, "to": 1, "times": 0}})"),
         {{2, "repeat.times"}}},
        {"times above 100000",
         file(R"({"temperature": 25, "hold": 1},
                 {"repeat": {"from": 1, "to": 1, "times": 100001}})"),
         {{2, "repeat.times"}}},
        {"a repeat of a repeat row alone",
         file(R"({"temperature": 25, "hold": 1}, {"repeat": {"from": 1, "to": 1, "times": 2}},
                 {"repeat": {"from": 2, "to": 2, "times": 2}})"),
         {{3, "repeat.from"}}},
        {"repeats that overlap",
         file(R"({"temperature": 25, "hold": 1}, {"temperature": 30, "hold": 1},
                 {"repeat": {"from": 1, "to": 2, "times": 2}}, {"temperature": 35, "hold": 1},
                 {"repeat": {"from": 2, "to": 4, "times": 2}})"),
         {{5, "repeat.from"}}},
        {"more than 100000 steps unrolled",
         file(R"({"temperature": 25, "hold": 1},
                 {"repeat": {"from": 1, "to": 1, "times": 100000}},
                 {"repeat": {"from": 1, "to": 2, "times": 2}})"),
         {{3, "repeat.times"}}},
        {"one step past 100000",
         file(R"({"temperature": 25, "hold": 1}, {"repeat": {"from": 1, "to": 1, "times": 100000}},
                 {"temperature": 25, "hold": 1})"),
         {{3, ""}}},
        {"longer than a year",
         file(R"({"temperature": 25, "hold": 525600}, {"temperature": 30, "rate": 10, "hold": 0})"),
         {{0, ""}}},
        {"a year by its repeats",
         file(
             R"({"temperature": 25, "hold": 6000}, {"repeat": {"from": 1, "to": 1, "times": 88}})"),
         {{0, ""}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(placesOf(faultsOf(c.json)), c.expected) << c.name;
    }
}

TEST(ProgrammeFile, ValuesAtTheirLimitsAreTaken) {
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"range ends", file(R"({"temperature": -70, "hold": 1}, {"temperature": 500, "hold": 1})")},
        {"hold a year", file(R"({"temperature": 25, "hold": 525600})")},
        {"hold 0 on a ramp", file(R"({"temperature": 30, "ramp": 1, "hold": 0})")},
        {"hold 0 with a band", file(R"({"temperature": 30, "hold": 0, "band": 50})")},
        {"rate 100, fractions of minutes",
         file(R"({"temperature": 30, "rate": 100, "hold": 0.25, "band": 0.001})")},
        {"100000 steps",
         file(
             R"({"temperature": 25, "hold": 1}, {"repeat": {"from": 1, "to": 1, "times": 100000}})")},
        {"a year by a ramp",
         file(
             R"({"temperature": 25, "hold": 525599}, {"temperature": 35, "rate": 10, "hold": 0})")},
        {"nested repeats", file(R"({"temperature": 25, "hold": 1}, {"temperature": 30, "hold": 1},
                 {"repeat": {"from": 2, "to": 2, "times": 3}},
                 {"repeat": {"from": 1, "to": 3, "times": 2}}, {"temperature": 35, "hold": 1},
                 {"repeat": {"from": 1, "to": 5, "times": 2}})")},
        {"256 rows", file(rowsOf(kStep, Programme::kMaxRows).constData(), R"("end": "hold", )")},
    };
    for (const auto& [name, json] : cases) {
        EXPECT_EQ(faultsOf(json), std::vector<ProgrammeFault>{}) << name;
        const ProgrammeRead read = parseProgrammeJson(json);
        ASSERT_TRUE(std::holds_alternative<ProgrammeDocument>(read)) << name;
        EXPECT_TRUE(std::holds_alternative<Programme>(
            Programme::fromDocument(std::get<ProgrammeDocument>(read), defaultLimits())))
            << name;
    }
}

// Faults a file cannot carry: numbers that are not numbers, and more rows than a file may have.
TEST(ProgrammeFile, DocumentsOfTheEditorAreCheckedAlike) {
    ProgrammeDocument document;
    document.rows.emplace_back(ProgrammeStep{std::numeric_limits<double>::quiet_NaN(), 10});
    ProgrammeStep rates{25, 10};
    rates.rate = std::numeric_limits<double>::quiet_NaN();
    rates.band = std::numeric_limits<double>::infinity();
    document.rows.emplace_back(rates);
    ProgrammeStep hold{25, std::numeric_limits<double>::infinity()};
    document.rows.emplace_back(hold);
    EXPECT_EQ(placesOf(Programme::checkDocument(document, defaultLimits())),
              (std::vector<Place>{{1, "temperature"}, {2, "rate"}, {2, "band"}, {3, "hold"}}));
    const auto made = Programme::fromDocument(document, defaultLimits());
    ASSERT_TRUE(std::holds_alternative<ProgrammeFault>(made));
    EXPECT_EQ(std::get<ProgrammeFault>(made),
              Programme::checkDocument(document, defaultLimits()).front());

    ProgrammeDocument tooLong;
    tooLong.rows.assign(Programme::kMaxRows + 1, ProgrammeStep{25, 1});
    EXPECT_EQ(placesOf(Programme::checkDocument(tooLong, defaultLimits())),
              (std::vector<Place>{{0, ""}}));
}

// 256 rows of repeats nested one inside the next stand for 100000^255 steps: they are refused
// from the count alone, before anything is unrolled. The second row makes 100000 steps, the most
// there may be; the third is one too many.
TEST(ProgrammeFile, NestedRepeatsBeyondTheLimitAreRefusedWithoutUnrolling) {
    ProgrammeDocument document;
    document.rows.emplace_back(ProgrammeStep{25, 1});
    for (int row = 2; row <= Programme::kMaxRows; ++row) {
        document.rows.emplace_back(ProgrammeRepeat{1, row - 1, 100000});
    }
    const auto started = std::chrono::steady_clock::now();
    const auto made = Programme::fromDocument(document, defaultLimits());
    ASSERT_TRUE(std::holds_alternative<ProgrammeFault>(made));
    EXPECT_EQ(std::get<ProgrammeFault>(made).step, 3);
    EXPECT_EQ(std::get<ProgrammeFault>(made).field, "repeat.times");
    // Generous for a loaded machine; unrolling would take minutes or exhaust memory.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
}

TEST(ProgrammeFile, NestedRepeatsUnrollWithTheirRowsAndCycles) {
    ProgrammeDocument document;
    document.rows = {ProgrammeStep{10, 1}, ProgrammeStep{20, 1},     ProgrammeRepeat{2, 2, 3},
                     ProgrammeStep{30, 1}, ProgrammeRepeat{1, 4, 2}, ProgrammeStep{40, 1}};
    const auto made = Programme::fromDocument(document, defaultLimits());
    ASSERT_TRUE(std::holds_alternative<Programme>(made));
    const Programme& programme = std::get<Programme>(made);
    struct Expected {
        double temperature;
        int row, cycle, cycles;
    };
    const std::vector<Expected> expected = {
        {10, 1, 1, 2}, {20, 2, 1, 3}, {20, 2, 2, 3}, {20, 2, 3, 3}, {30, 4, 1, 2}, {10, 1, 2, 2},
        {20, 2, 1, 3}, {20, 2, 2, 3}, {20, 2, 3, 3}, {30, 4, 2, 2}, {40, 6, 0, 0}};
    ASSERT_EQ(programme.stepCount(), static_cast<int>(expected.size()));
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const ProgrammeStep& step = programme.steps()[k];
        EXPECT_EQ(step.temperature, expected[k].temperature) << "step " << k + 1;
        EXPECT_EQ(step.row, expected[k].row) << "step " << k + 1;
        EXPECT_EQ(step.cycle, expected[k].cycle) << "step " << k + 1;
        EXPECT_EQ(step.cycles, expected[k].cycles) << "step " << k + 1;
    }
    EXPECT_EQ(programme.totalMinutes(), 11.0);
    // The programme keeps its rows as written, numbered as a file read back numbers them.
    EXPECT_EQ(programme.document().rows.size(), document.rows.size());
    EXPECT_EQ(std::get<ProgrammeStep>(programme.document().rows[5]).row, 6);
    EXPECT_EQ(
        std::get<ProgrammeDocument>(parseProgrammeJson(programmeFileJson(programme.document()))),
        programme.document());
    EXPECT_TRUE(programme.hasRepeats());
}

// The example the package installs: ten cycles of -40 and 85 °C at 5 °C a minute between a step
// at 25 °C and a 10-minute ramp back to it. The first ramp starts from 25 °C (65 °C, 13 min), every
// other crosses 125 °C (25 min): 10 + (13 + 15 + 25 + 15) + 9 × (25 + 15 + 25 + 15) + 10.
TEST(ProgrammeFile, TheInstalledExampleChecksCleanAndUnrolls) {
    const ProgrammeRead read = loadProgrammeFile(QStringLiteral(LUMAS_EXAMPLE_PROGRAMME));
    ASSERT_TRUE(std::holds_alternative<ProgrammeDocument>(read));
    const auto& document = std::get<ProgrammeDocument>(read);
    EXPECT_EQ(Programme::checkDocument(document, defaultLimits()), std::vector<ProgrammeFault>{});
    const auto made = Programme::fromDocument(document, defaultLimits());
    ASSERT_TRUE(std::holds_alternative<Programme>(made));
    const Programme& programme = std::get<Programme>(made);
    EXPECT_EQ(programme.stepCount(), 22);
    EXPECT_DOUBLE_EQ(programme.totalMinutes(), 808.0);
    EXPECT_EQ(programme.name(), QStringLiteral("Thermal cycling -40/85 °C, 10 cycles"));
    EXPECT_EQ(programme.end(), ProgrammeEnd::Stop);
    EXPECT_EQ(programme.step(21).cycle, 10);
    EXPECT_EQ(programme.step(22).row, 5);
}

TEST(ProgrammeFile, FaultTextsNameTheLimitInTheLocale) {
    ProgrammeDocument document;
    document.rows.emplace_back(ProgrammeStep{-80, 1});
    const std::vector<ProgrammeFault> faults =
        Programme::checkDocument(document, {-70.5, 500.0, QLocale(QLocale::German)});
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_TRUE(faults[0].text.contains(QStringLiteral("-70,5"))) << faults[0].text.toStdString();
    EXPECT_EQ(programmeFaultText(faults[0]),
              QStringLiteral("Step 1, temperature: ") + faults[0].text);
    EXPECT_EQ(programmeFaultText({0, QStringLiteral("The file is empty.")}),
              QStringLiteral("The file is empty."));

    const std::vector<ProgrammeFault> syntax = faultsOf(R"({"format": "lumas-programme" "x"})");
    ASSERT_EQ(syntax.size(), 1u);
    EXPECT_TRUE(syntax[0].text.contains(QStringLiteral("at byte 30")))
        << syntax[0].text.toStdString();
}

ProgrammeDocument everyField() {
    ProgrammeDocument document;
    document.name = QStringLiteral("Cycling \"-40/85 °C\"\\ 10×\n\ttab");
    ProgrammeStep first{25.0, 0.1};
    first.band = 1.0 / 3.0;
    ProgrammeStep second{-40.0, 15};
    second.rate = 5.5;
    ProgrammeStep third{85.125, 0};
    third.rampMinutes = 1e-7;
    third.band = 50;
    document.rows = {first, second, third, ProgrammeRepeat{2, 3, 10}, ProgrammeStep{-0.0, 2}};
    for (std::size_t k = 0; k < document.rows.size(); ++k) {
        if (auto* step = std::get_if<ProgrammeStep>(&document.rows[k])) {
            step->row = static_cast<int>(k) + 1;
        }
    }
    document.end = ProgrammeEnd::Hold;
    return document;
}

TEST(ProgrammeFile, ADocumentWrittenReadsBackExactly) {
    const ProgrammeDocument document = everyField();
    for (const QByteArray& json : {programmeFileJson(document), programmeCompactJson(document)}) {
        const ProgrammeRead read = parseProgrammeJson(json);
        ASSERT_TRUE(std::holds_alternative<ProgrammeDocument>(read)) << json.toStdString();
        EXPECT_EQ(std::get<ProgrammeDocument>(read), document) << json.toStdString();
    }
    // The fields in the order a person reads them, whatever order JSON objects keep.
    const QByteArray indented = programmeFileJson(document);
    const qsizetype format = indented.indexOf("\"format\"");
    const qsizetype name = indented.indexOf("\"name\"");
    const qsizetype steps = indented.indexOf("\"steps\"");
    const qsizetype end = indented.indexOf("\"end\"");
    EXPECT_TRUE(format < indented.indexOf("\"version\"") && name < steps && steps < end);
    EXPECT_TRUE(indented.contains(R"({"temperature": -40, "rate": 5.5, "hold": 15})"))
        << indented.toStdString();
    EXPECT_TRUE(programmeCompactJson(document).startsWith(
        R"({"format":"lumas-programme","version":1,"name":"Cycling \"-40/85)"));
    EXPECT_FALSE(programmeCompactJson(document).contains('\n'));

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("cycling.json"));
    EXPECT_EQ(saveProgrammeFile(path, document), std::nullopt);
    const ProgrammeRead loaded = loadProgrammeFile(path);
    ASSERT_TRUE(std::holds_alternative<ProgrammeDocument>(loaded));
    EXPECT_EQ(std::get<ProgrammeDocument>(loaded), document);
}

TEST(ProgrammeFile, FilesThatCannotBeReadOrWrittenAreOneSentence) {
    QTemporaryDir folder;
    const QString missing = folder.filePath(QStringLiteral("none.json"));
    const ProgrammeRead read = loadProgrammeFile(missing);
    ASSERT_TRUE(std::holds_alternative<std::vector<ProgrammeFault>>(read));
    const auto& faults = std::get<std::vector<ProgrammeFault>>(read);
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0].step, 0);
    EXPECT_TRUE(faults[0].text.contains(missing)) << faults[0].text.toStdString();

    // A file past 4 MB is refused whole, even when it begins like a programme.
    const QString large = folder.filePath(QStringLiteral("large.json"));
    QFile out(large);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(file(kStep));
    out.write(QByteArray(4 * 1024 * 1024, ' '));
    out.close();
    const ProgrammeRead big = loadProgrammeFile(large);
    ASSERT_TRUE(std::holds_alternative<std::vector<ProgrammeFault>>(big));
    ASSERT_EQ(std::get<std::vector<ProgrammeFault>>(big).size(), 1u);
    EXPECT_TRUE(std::get<std::vector<ProgrammeFault>>(big)[0].text.contains("4 MB"));

    const std::optional<QString> saved =
        saveProgrammeFile(folder.filePath(QStringLiteral("no/such/folder/p.json")), everyField());
    ASSERT_TRUE(saved.has_value());
    EXPECT_TRUE(saved->contains(QStringLiteral("could not be saved"))) << saved->toStdString();
}

TEST(ProgrammeFile, ProgrammesAreKeptBesideTheRunArchive) {
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/data/home");
    EXPECT_EQ(programmesFolder(), QStringLiteral("/data/home/Lumas/programmes"));
    qputenv("XDG_DATA_HOME", saved);
}

}  // namespace
}  // namespace lumas
