// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// Programmes from files on the Advanced control tab: a programme the twelve fields can hold goes
// into them; any other is kept as the loaded programme and shown read-only in their place.

#include <QFileInfo>

#include <cmath>

#include "core/main_form_logic.h"
#include "core/number_text.h"
#include "core/programme_file.h"

namespace lumas {

namespace {

const QString kRunGoingOn =
    QStringLiteral("The programme cannot be changed while a run is going on. Stop the run first.");

// A temperature or rate as written in the programme: as many decimals as it has.
QString numberText(double value, const QLocale& locale) {
    return generalNumberText(value, locale);
}

// A planned length: "45 min", "12.5 min", "5 h 30 min", "2 d 3 h 0 min".
QString durationText(double minutes, const QLocale& locale) {
    if (minutes < 60.0) {
        // To a tenth, without ".0" for whole minutes.
        return numberText(std::round(minutes * 10.0) / 10.0, locale) + QStringLiteral(" min");
    }
    const auto whole = static_cast<long long>(std::llround(minutes));
    const long long days = whole / 1440;
    const long long hours = (whole % 1440) / 60;
    const long long rest = whole % 60;
    if (days > 0) {
        return QStringLiteral("%1 d %2 h %3 min").arg(days).arg(hours).arg(rest);
    }
    return QStringLiteral("%1 h %2 min").arg(hours).arg(rest);
}

QString stepRowText(int row, const ProgrammeStep& step, const QLocale& locale) {
    QString text = QStringLiteral("%1. %2 °C").arg(row).arg(numberText(step.temperature, locale));
    if (step.rate) {
        text += QStringLiteral(" at %1 °C/min").arg(numberText(*step.rate, locale));
    } else if (step.rampMinutes) {
        text += QStringLiteral(" in %1 min").arg(numberText(*step.rampMinutes, locale));
    }
    text += QStringLiteral(", hold %1 min").arg(numberText(step.holdMinutes, locale));
    if (step.band) {
        text += QStringLiteral(" within ± %1 °C").arg(numberText(*step.band, locale));
    }
    return text;
}

QString repeatRowText(int row, const ProgrammeRepeat& repeat) {
    const QString rows = repeat.from == repeat.to
                             ? QStringLiteral("row %1").arg(repeat.from)
                             : QStringLiteral("rows %1–%2").arg(repeat.from).arg(repeat.to);
    return QStringLiteral("%1. Repeat %2, %3 %4")
        .arg(row)
        .arg(rows)
        .arg(repeat.times)
        .arg(repeat.times == 1 ? QStringLiteral("time") : QStringLiteral("times"));
}

// Whether the twelve fields show `programme` exactly as written: it fits them, and every
// temperature is one the fields can hold as typed (one decimal at most; T9 takes no minus sign).
// Anything else would be rounded or refused when the field is next taken.
bool fieldsCanHold(const Programme& programme) {
    if (!programme.fitsFields()) {
        return false;
    }
    for (int n = 1; n <= programme.stepCount(); ++n) {
        const double temperature = programme.step(n).temperature;
        const std::optional<TypedNumber> shown =
            parseTypedNumber(oneDecimalText(temperature, QLocale::c()));
        if (!shown || shown->value != temperature || (n == 9 && temperature < 0.0)) {
            return false;
        }
    }
    return true;
}

}  // namespace

ProgrammeLimits MainFormLogic::programmeLimits() const {
    return {state().SetPointMin, state().SetPointMax, locale_};
}

std::optional<QString> MainFormLogic::showProgramme(const ProgrammeDocument& document,
                                                    const QString& path) {
    if (run().active()) {
        return kRunGoingOn;
    }
    std::variant<Programme, ProgrammeFault> made =
        Programme::fromDocument(document, programmeLimits());
    if (const auto* fault = std::get_if<ProgrammeFault>(&made)) {
        return programmeFaultText(*fault);
    }
    Programme& programme = std::get<Programme>(made);
    if (!fieldsCanHold(programme)) {
        if (programmeView_ != nullptr) {
            programmeView_->showLoaded(programmeSummary(programme, path, locale_));
        }
        loadedProgramme_ = std::move(programme);
        loadedProgrammePath_ = path;
        redrawTargetCurve();
        return std::nullopt;
    }
    // The fields take it whole: its steps, then 0 / 0, which ends the programme after them.
    for (int k = 0; k < kProgrammeSteps; ++k) {
        const bool used = k < programme.stepCount();
        ui_.fiSP[k]->setValue(used ? programme.step(k + 1).temperature : 0.0);
        ui_.fiSPt[k]->setValue(used ? programme.step(k + 1).holdMinutes : 0.0);
    }
    useFieldProgramme();
    return std::nullopt;
}

void MainFormLogic::useFieldProgramme() {
    loadedProgramme_.reset();
    loadedProgrammePath_.clear();
    if (programmeView_ != nullptr) {
        programmeView_->showFields();
    }
    redrawTargetCurve();
}

void MainFormLogic::redrawTargetCurve() {
    // A target curve on show is the programme's that Start would run.
    if (ui_.chkTargetTemp.checked() && !run().active()) {
        DrawTargetTempCurve();
    }
}

void MainFormLogic::loadedProgrammeSavedAs(const QString& path) {
    if (loadedProgramme_) {
        loadedProgrammePath_ = path;
        if (programmeView_ != nullptr) {
            programmeView_->showLoaded(programmeSummary(*loadedProgramme_, path, locale_));
        }
    }
}

ProgrammeDocument MainFormLogic::programmeToSave() const {
    if (loadedProgramme_) {
        return loadedProgramme_->document();
    }
    // The steps that run: rows up to the first without a hold time, temperatures as typed.
    ProgrammeDocument document;
    for (int k = 0; k < kProgrammeSteps && holdMinutes(k) >= 1; ++k) {
        document.rows.emplace_back(ProgrammeStep(ui_.fiSP[k]->value(), holdMinutes(k)));
    }
    return document;
}

ProgrammeSummary MainFormLogic::programmeSummary(const Programme& programme, const QString& path,
                                                 const QLocale& locale) {
    ProgrammeSummary summary;
    summary.name = programme.name();
    if (summary.name.trimmed().isEmpty()) {
        summary.name = path.isEmpty() ? QStringLiteral("Unnamed programme")
                                      : QFileInfo(path).completeBaseName();
    }
    const std::vector<ProgrammeRow>& rows = programme.document().rows;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const int row = static_cast<int>(k) + 1;
        if (const auto* step = std::get_if<ProgrammeStep>(&rows[k])) {
            summary.rows << stepRowText(row, *step, locale);
        } else {
            summary.rows << repeatRowText(row, std::get<ProgrammeRepeat>(rows[k]));
        }
    }
    const int steps = programme.stepCount();
    summary.totals = QStringLiteral("%1 %2, %3 planned")
                         .arg(steps)
                         .arg(steps == 1 ? QStringLiteral("step") : QStringLiteral("steps"))
                         .arg(durationText(programme.totalMinutes(), locale));
    summary.end = programme.end() == ProgrammeEnd::Stop
                      ? QStringLiteral("At the end the controller is stopped.")
                      : QStringLiteral(
                            "At the end the controller keeps running at the last set "
                            "point.");
    return summary;
}

}  // namespace lumas
