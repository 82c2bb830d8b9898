#include "cli/terminal_window.h"

#include "core/main_form_logic.h"

namespace lumas::cli {

namespace {

constexpr std::chrono::milliseconds kChartTimer{1000};
constexpr std::chrono::seconds kCsvTimer{30};

std::array<NumericField*, kProgrammeSteps> fieldPointers(
    std::array<TerminalNumber, kProgrammeSteps>& fields) {
    std::array<NumericField*, kProgrammeSteps> pointers{};
    for (std::size_t k = 0; k < fields.size(); ++k) {
        pointers[k] = &fields[k];
    }
    return pointers;
}

}  // namespace

void TerminalText::setText(const QString& text) {
    text_ = text;
    if (onSet) {
        onSet();
    }
}

void TerminalCheckBox::setChecked(bool checked) {
    if (checked == checked_) {
        return;
    }
    checked_ = checked;
    if (onChange) {
        onChange();
    }
}

TerminalTimer::TerminalTimer(const ScaledClock& clock, std::chrono::milliseconds interval)
    : clock_(clock), interval_(interval) {
    timer_.setInterval(clock_.realDuration(interval_));
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (onTimeout) {
            onTimeout();
        }
    });
}

void TerminalTimer::setInterval(std::chrono::milliseconds interval) {
    interval_ = interval;
    timer_.setInterval(clock_.realDuration(interval_));
}

void TerminalTimer::setEnabled(bool enabled) {
    if (!enabled) {
        timer_.stop();
    } else if (!timer_.isActive()) {
        // The clock's pace may have changed since the interval was set.
        timer_.start(clock_.realDuration(interval_));
    }
}

void TerminalMessages::show(const char* kind, const QString& text) {
    QString shown = text;
    shown.replace(u'\r', u'\n');
    out_ << kind << shown.toStdString() << std::endl;
}

void TerminalMessages::warning(const QString& text) {
    show("Warning: ", text);
}

void TerminalMessages::information(const QString& text) {
    show("Information: ", text);
}

bool TerminalMessages::confirm(const QString& text) {
    show("Question: ", text + QStringLiteral("\nAnswered No: nobody is there to confirm."));
    return false;
}

void TerminalMessages::message(const QString& text) {
    show("", text);
}

TerminalWindow::TerminalWindow(const ScaledClock& clock, std::ostream& messageOut)
    : timerMulti(clock, kChartTimer),
      timerSingle(clock, kChartTimer),
      TimerCSV(clock, kCsvTimer),
      messages(messageOut),
      ports_{lTemp,
             lSetPoint,
             lCS,
             lCS2,
             lFinish,
             lTotal,
             statusConnection,
             statusWarning,
             fiSingleSP,
             fieldPointers(fiSP),
             fieldPointers(fiSPt),
             chkTargetTemp,
             Series1,
             Series2,
             timerMulti,
             timerSingle,
             TimerCSV,
             messages,
             [] {},
             [] {},
             [] {},
             [] {},
             [](TComConfigForm&) { return false; }} {}

void TerminalWindow::bindHandlers(MainFormLogic& logic) {
    chkTargetTemp.onChange = [&logic] { logic.chkTargetTempClick(); };
    timerMulti.onTimeout = [&logic] { logic.timerMultiTimer(); };
    timerSingle.onTimeout = [&logic] { logic.timerSingleTimer(); };
    TimerCSV.onTimeout = [&logic] { logic.TimerCSVTimer(); };
}

}  // namespace lumas::cli
