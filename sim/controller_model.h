// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumas::sim {

// Response codes a controller puts in its replies.
namespace response {
inline constexpr std::string_view kNormal = "0000";
inline constexpr std::string_view kUnsupportedCommand = "0401";
inline constexpr std::string_view kCommandTooLong = "1001";
inline constexpr std::string_view kCommandTooShort = "1002";
inline constexpr std::string_view kElementsDataMismatch = "1003";
inline constexpr std::string_view kParameterError = "1100";
inline constexpr std::string_view kAreaTypeError = "1101";
inline constexpr std::string_view kAddressOutOfRange = "1103";
inline constexpr std::string_view kResponseTooLong = "110B";
inline constexpr std::string_view kOperationError = "2203";
inline constexpr std::string_view kReadOnlyError = "3003";
}  // namespace response

// The answer to one command text: the response code and, on normal completion, the data.
struct CommandResult {
    std::string responseCode{response::kNormal};
    std::string data;
};

// The temperature controller and its chamber, without any line: carries out command texts as the
// controller does and lets the chamber temperature follow a first-order model,
//   dT/dt = (target - T) / timeConstant,
// with target = the set point while running and the ambient temperature while stopped, in
// simulated time (real time multiplied by the time scale). The model advances only when told the
// time (advanceTo, execute), never by itself.
//
// After power-on (construction) the controller is stopped, communications writing is off, and it
// is in setup area 0. Set points are kept in tenths of a degree, as the controller keeps them.
// Not thread-safe: its owner serialises all calls.
class ControllerModel {
  public:
    using Clock = std::chrono::steady_clock;

    ControllerModel(double ambient, double timeConstantSeconds, double timeScale,
                    Clock::time_point now);

    // Advances the chamber to `now`, then carries out `commandText` (MRC, SRC and parameters).
    CommandResult execute(std::string_view commandText, Clock::time_point now);

    // Advances the chamber to `now` with the present target, time constant and time scale. Call
    // it before changing any of them.
    void advanceTo(Clock::time_point now);

    double temperature() const { return temperature_; }
    void setTemperature(double celsius) { temperature_ = celsius; }
    double ambient() const { return ambient_; }
    void setAmbient(double celsius) { ambient_ = celsius; }
    // Seconds; must be greater than 0.
    void setTimeConstant(double seconds);
    // Simulated seconds per real second; 0 freezes the chamber; must not be negative.
    void setTimeScale(double factor);

    // The active set point: SP0, or the selected one of SP0 to SP7 while multi-SP is in use.
    double setPoint() const;
    // Changes the active set point as a write does (no range check); ignored while locked.
    void setSetPoint(double celsius);
    // While locked, the active set point takes the locked value and keeps it: writes are
    // acknowledged normally but change nothing. Clearing the lock leaves the locked value in place.
    void setSetPointLock(std::optional<double> celsius);

    bool running() const { return !stopped_; }
    void setRunning(bool running);
    // Starts again as after power-on (also what a software reset does): stopped, communications
    // writing off, back in setup area 0, no auto-tuning and no programme running. What the
    // controller stores stays: the set points, the parameters and the multi-SP selection. The
    // chamber is left where it is; call advanceTo first.
    void restart();
    bool communicationsWriting() const { return communicationsWriting_; }
    void setCommunicationsWriting(bool on) { communicationsWriting_ = on; }
    bool autoTuning() const { return autoTuning_; }

  private:
    struct VariableRef;  // an entry of the variable table, read as a word or a double word

    CommandResult readOne(std::string_view parameters) const;
    CommandResult writeOne(std::string_view parameters);
    CommandResult readComposite(std::string_view items) const;
    CommandResult operate(std::string_view parameters);

    // Finds the variable of a type (2 hex) and address (4 hex) text, or the response code saying
    // why there is none.
    std::optional<VariableRef> find(std::string_view type, std::string_view address,
                                    std::string& failure) const;
    int wordValue(const VariableRef& variable) const;
    std::string valueText(const VariableRef& variable) const;
    std::optional<std::string_view> refuseWrite(const VariableRef& variable, int value) const;
    void store(const VariableRef& variable, int value);

    int storedValue(int area, int address) const;
    std::size_t activeSetPointIndex() const;
    bool activeSetPointLocked(std::size_t index) const;
    int statusWord() const;

    // chamber
    double temperature_;
    double ambient_;
    double timeConstantSeconds_;
    double timeScale_;
    Clock::time_point modelTime_;

    // controller
    std::array<int, 8> setPoints_{};   // SP0..SP7, tenths
    std::vector<int> storedValues_;    // the plain parameters, in the order of the variable table
    std::optional<int> setPointLock_;  // tenths
    bool stopped_ = true;
    bool communicationsWriting_ = false;
    bool autoTuning_ = false;
    bool setupArea1_ = false;
    bool invertDirect_ = false;
    bool programRunning_ = false;
    int selectedMultiSetPoint_ = 0;
};

}  // namespace lumas::sim
