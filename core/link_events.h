#pragma once

#include <QString>

namespace lumas {

// What happens to the link and to a run that the window, lumasctl and the metrics need to know
// of, reported by MainFormLogic on the UI thread as it happens. Every member has an empty default,
// so an observer overrides only what it uses.
class LinkObserver {
  public:
    enum class Loss {
        NoReply,     // the port is open but the controller sends no valid readings
        PortFailed,  // the device went away or could not be written to
    };

    virtual ~LinkObserver() = default;

    // Readings come in (again) after connecting or after a loss.
    virtual void linkUp() {}
    // Readings stopped; `why` says how. Reported once per loss.
    virtual void linkLost(Loss /*why*/) {}
    // The device was opened again after it went away; `devicePath` is the path that opened.
    virtual void portReopened(const QString& /*devicePath*/) {}
    // The emergency cut-off fired at `celsius` and sent its Stop.
    virtual void emergencyCutOff(double /*celsius*/) {}
    // A Stop was confirmed by the controller's run state.
    virtual void stopConfirmed() {}
    // A Stop was sent several times and the controller still does not report Stopped.
    virtual void stopNotConfirmed() {}
};

}  // namespace lumas
