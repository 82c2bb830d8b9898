// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The receive path's fuzz target (libFuzzer). The input is a script of operations against a driver
// whose port is played by the harness: requests and time-outs from the caller, and a far end that
// behaves like an in-order controller. It answers the oldest request it has heard and not yet
// answered -- with a correct reply, a reply with a wrong BCC, a short reply with an end code, a
// reply with a response code, or not at all -- and the bytes it sends reach the driver in chunks
// split anywhere, with noise between replies. After every operation the driver is checked against
// what such a far end makes possible; a violation aborts with a message saying which rule broke.
//
// Script, one byte per field; a script that runs out reads zeros:
//   op % 8
//   0 issue     what % 7: GetTemperature, GetSetPoint, ReadStatusLeft, cmdStop, cmdRun, EchoTest,
//               ResetOmron (WriteEnable pauses 50 ms and is left out; the driver still sends it
//               itself before repeating a refused command)
//   1 abandon   AbandonRequest, the caller's reply time-out
//   2 answer    kind, and for some kinds an argument: the far end answers its oldest request
//               kind & 7: 0, 7 correct; 1, 2 correct, the BCC made STX (1) or ETX (2) where the
//               reply has characters the driver does not read, and the BCC sent alone;
//               3 wrong BCC (argument: the BCC sent); 4 short reply with an end code (argument
//               picks it); 5 response code (argument picks it); 6 whole reply with an end code
//               kind & 8: held back until a deliver operation; otherwise all sent is delivered now
//   3 drop      the far end never heard its oldest request
//   4 noise     length n, then n bytes; STX and ETX are left out
//   5 deliver   n: the next n + 1 bytes sent, as one chunk
//   6 deliver   the bytes up to the last one (the BCC) of the next reply not yet whole
//   7 deliver   everything sent so far
// At the end of the script everything sent is delivered and checked once more.
//
// Noise never contains STX or ETX, and it is only ever sent after a whole reply, so it can neither
// form a frame nor be spliced into one. Bytes that make up a frame of their own, or join a reply's
// pieces into a frame whose BCC happens to fit, look exactly like a controller's reply; no driver
// can tell them apart, and they are outside what this target checks.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/stand_in_port.h"
#include "protocol/frame_codec.h"
#include "protocol/omron_com.h"
#include "protocol/reply_frames.h"

namespace lumas::fuzz {
namespace {

// Every reply carries values that show a reply taken for another request's: a set-point read
// reads 25.7, a run-state read "Running", a temperature read 23.4. The set-point data read as run
// state gives "Stopped", and the run-state data read as a set point gives 0.
constexpr double kSetPoint = 25.7;
constexpr double kTemperature = 23.4;
constexpr const char* kSetPointData = "0101";
constexpr const char* kRunStateData = "0000";
// The temperature data: characters 3 to 6 are the process value (00EA), 9 to 12 the decimal
// places (0001); characters 1, 2, 7 and 8 are not read, which lets the far end choose the BCC.
constexpr const char* kTemperatureData = "8000EA800001";
constexpr std::array<std::size_t, 4> kTemperatureFreeCharacters = {0, 1, 6, 7};

constexpr std::array<const char*, 8> kEndCodes = {"0F", "10", "11", "12", "13", "14", "16", "18"};
constexpr std::array<const char*, 8> kResponseCodes = {"2203", "1100", "1001", "110B",
                                                       "0401", "3003", "2202", "1003"};

enum class ReplyKind { Correct, WrongBcc, EndCode, ResponseCode };

// A reply the far end has sent: where it ends in the stream and what the driver is to make of it.
struct SentReply {
    std::size_t end = 0;  // offset just past its BCC
    ReplyKind kind = ReplyKind::Correct;
    std::string command;  // the MRC and SRC it echoes
    std::string request;  // the command text of the request it answers
};

// Counts the driver keeps, as the far end's replies and the caller's operations make them.
struct Expected {
    TOmronCom::ReplyFailures failures;
    unsigned long temperatureReadings = 0;
    unsigned long statusReadings = 0;
    unsigned long framesReceived = 0;  // every reply whole at the driver, taken once
};

class Script {
  public:
    Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool done() const { return at_ >= size_; }
    unsigned byte() { return at_ < size_ ? data_[at_++] : 0U; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Four hexadecimal digits whose characters exclusive-or to each value, where there are such.
const std::array<std::optional<std::string>, 256>& digitsByXor() {
    static const std::array<std::optional<std::string>, 256> table = [] {
        std::array<std::optional<std::string>, 256> built;
        const std::string digits = "0123456789ABCDEF";
        for (char a : digits) {
            for (char b : digits) {
                for (char c : digits) {
                    for (char d : digits) {
                        auto& slot = built[static_cast<unsigned char>(a ^ b ^ c ^ d)];
                        if (!slot) {
                            slot = std::string{a, b, c, d};
                        }
                    }
                }
            }
        }
        return built;
    }();
    return table;
}

class Harness {
  public:
    explicit Harness(Script& script) : script_(script) {
        port_.onWrite = [this](const std::string& frame) { onWrite(frame); };
        driver_.SetNodeNumber(1);
        driver_.SetCOMPort(&port_);
        driver_.SetAllowToSend(false);
        if (driver_.OpenPort() != 0) {
            violated("OpenPort failed on a port that is open");
        }
        check();
    }

    ~Harness() { port_.onWrite = nullptr; }
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    void run() {
        while (!script_.done()) {
            switch (script_.byte() % 8) {
                case 0:
                    issue(script_.byte() % 7);
                    break;
                case 1:
                    abandon();
                    break;
                case 2:
                    answer(script_.byte());
                    break;
                case 3:
                    drop();
                    break;
                case 4:
                    noise(script_.byte());
                    break;
                case 5:
                    deliver(script_.byte() + 1);
                    break;
                case 6:
                    deliverUpToBcc();
                    break;
                default:
                    deliverAll();
                    break;
            }
            check();
        }
        deliverAll();
        check();
    }

  private:
    // --- the caller

    void issue(unsigned what) {
        // As every caller does: AllowToSend is cleared before a request, and the driver sets it
        // when the line is idle again.
        driver_.SetAllowToSend(false);
        switch (what) {
            case 0:
                trace("GetTemperature");
                driver_.GetTemperature();
                break;
            case 1:
                trace("GetSetPoint");
                driver_.GetSetPoint();
                break;
            case 2:
                trace("ReadStatusLeft");
                driver_.ReadStatusLeft();
                break;
            case 3:
                trace("cmdStop");
                driver_.cmdStop();
                break;
            case 4:
                trace("cmdRun");
                driver_.cmdRun();
                break;
            case 5:
                trace("EchoTest");
                driver_.EchoTest();
                break;
            default:
                trace("ResetOmron");
                driver_.ResetOmron();
                break;
        }
    }

    void abandon() {
        trace("AbandonRequest");
        if (awaited_) {
            ++expected_.failures.noReply;
            awaited_.reset();
        }
        driver_.AbandonRequest();
    }

    // --- the far end

    void answer(unsigned kindByte) {
        if (owed_.empty()) {
            trace("answer (nothing owed)");
            return;
        }
        const std::string request = owed_.front();
        owed_.pop_front();
        const bool held = (kindByte & 8U) != 0;
        const std::string command = request.substr(0, 4);
        SentReply reply{0, ReplyKind::Correct, command, request};
        std::string frame;
        bool bccAlone = false;
        switch (kindByte & 7U) {
            case 1:
            case 2: {
                const char bcc = (kindByte & 7U) == 1 ? compoway::STX : compoway::ETX;
                frame = correctReply(request, bcc);
                bccAlone = true;
                trace(std::string("answer correct, BCC ") +
                      hex(static_cast<unsigned char>(frame.back())) + " alone");
                break;
            }
            case 3: {
                frame = correctReply(request, std::nullopt);
                char bcc = static_cast<char>(script_.byte());
                if (bcc == frame.back()) {
                    bcc = static_cast<char>(bcc ^ 0x80);
                }
                frame.back() = bcc;
                reply.kind = ReplyKind::WrongBcc;
                trace("answer wrong BCC " + hex(static_cast<unsigned char>(bcc)));
                break;
            }
            case 4: {
                const char* endCode = kEndCodes[script_.byte() % kEndCodes.size()];
                frame = test::shortErrorReply(endCode);
                reply.kind = ReplyKind::EndCode;
                trace(std::string("answer short reply, end code ") + endCode);
                break;
            }
            case 5: {
                const char* code = kResponseCodes[script_.byte() % kResponseCodes.size()];
                frame = test::replyFrame("00", command, code, "");
                reply.kind = ReplyKind::ResponseCode;
                trace(std::string("answer response code ") + code);
                break;
            }
            case 6: {
                const char* endCode = kEndCodes[script_.byte() % kEndCodes.size()];
                frame = test::replyFrame(endCode, command, "0000", "");
                reply.kind = ReplyKind::EndCode;
                trace(std::string("answer end code ") + endCode);
                break;
            }
            default:
                frame = correctReply(request, std::nullopt);
                trace("answer correct");
                break;
        }
        if (held) {
            trace("(held)");
        }
        send(frame, reply);
        if (held) {
            return;
        }
        if (bccAlone) {
            deliverUpToBcc();
        }
        deliverAll();
    }

    void drop() {
        trace(owed_.empty() ? "drop (nothing owed)" : "drop");
        if (!owed_.empty()) {
            owed_.pop_front();
        }
    }

    void noise(unsigned length) {
        std::string bytes;
        for (unsigned i = 0; i < length % 17; ++i) {
            const char c = static_cast<char>(script_.byte());
            if (c != compoway::STX && c != compoway::ETX) {
                bytes += c;
            }
        }
        trace("noise " + std::to_string(bytes.size()));
        stream_ += bytes;
    }

    // The correct reply to `request`; with `bcc`, the temperature reply's unread characters are
    // chosen so that its BCC has that value where some choice gives it.
    std::string correctReply(const std::string& request, std::optional<char> bcc) {
        if (request == commands::kTemperature) {
            std::string data = kTemperatureData;
            const std::string frame = test::okReply("0104", data);
            if (!bcc) {
                return frame;
            }
            std::string usedFree;
            for (std::size_t at : kTemperatureFreeCharacters) {
                usedFree += data[at];
            }
            const auto wanted =
                static_cast<unsigned char>(static_cast<unsigned char>(frame.back()) ^
                                           static_cast<unsigned char>(*bcc) ^ xorOf(usedFree));
            if (const auto& digits = digitsByXor()[wanted]) {
                for (std::size_t i = 0; i < kTemperatureFreeCharacters.size(); ++i) {
                    data[kTemperatureFreeCharacters[i]] = (*digits)[i];
                }
            }
            return test::okReply("0104", data);
        }
        if (request == commands::kReadSetPoint) {
            return test::okReply("0101", kSetPointData);
        }
        if (request == commands::kReadStatusLeft) {
            return test::okReply("0101", kRunStateData);
        }
        if (request.compare(0, 4, "0801") == 0) {
            return test::okReply("0801", request.substr(4));  // the echo of the test data
        }
        if (request == commands::kRun || request == commands::kStop ||
            request == commands::kWriteEnable) {
            return test::okReply("3005", "");
        }
        violated("the far end cannot answer " + request);
    }

    void send(const std::string& frame, SentReply reply) {
        stream_ += frame;
        reply.end = stream_.size();
        sending_.push_back(std::move(reply));
    }

    void deliver(std::size_t count) {
        count = std::min(count, stream_.size() - delivered_);
        if (count == 0) {
            return;
        }
        trace("deliver " + std::to_string(count));
        std::string chunk = stream_.substr(delivered_, count);
        delivered_ += count;
        while (!sending_.empty() && sending_.front().end <= delivered_) {
            arriving_.push_back(std::move(sending_.front()));
            sending_.pop_front();
            ++expected_.framesReceived;
        }
        port_.stage(std::move(chunk));
        driver_.ComPortRxChar(port_, static_cast<int>(count));
        while (!arriving_.empty()) {
            account(arriving_.front());
            arriving_.pop_front();
        }
        if (delivered_ == stream_.size()) {
            stream_.clear();
            delivered_ = 0;
        }
    }

    void deliverUpToBcc() {
        if (!sending_.empty()) {
            deliver(sending_.front().end - 1 - delivered_);
        }
    }

    void deliverAll() { deliver(stream_.size() - delivered_); }

    // --- the oracle

    // A reply whole at the driver, taken in the order the driver takes them. Which request it
    // settles follows from the driver's contract: nothing awaited, or a correct reply with another
    // command's MRC and SRC (or, for an echo test, other test data), is a late reply and is
    // dropped; a wrong BCC, an end code or a
    // response code fails the awaited request; a correct reply with its MRC and SRC answers it.
    void account(const SentReply& reply) {
        if (!awaited_) {
            ++expected_.failures.stale;
            return;
        }
        switch (reply.kind) {
            case ReplyKind::WrongBcc:
                ++expected_.failures.wrongBcc;
                break;
            case ReplyKind::EndCode:
                ++expected_.failures.endCode;
                break;
            case ReplyKind::ResponseCode:
                ++expected_.failures.responseCode;
                break;
            case ReplyKind::Correct:
                if (reply.command != awaited_->substr(0, 4)) {
                    ++expected_.failures.stale;
                    return;
                }
                // Every echo test carries test data of its own: an echo of other test data is
                // a late reply to an earlier one.
                if (reply.command == "0801" && reply.request != *awaited_) {
                    ++expected_.failures.stale;
                    return;
                }
                if (*awaited_ == commands::kTemperature) {
                    ++expected_.temperatureReadings;
                } else if (*awaited_ == commands::kReadStatusLeft) {
                    ++expected_.statusReadings;
                }
                break;
        }
        awaited_.reset();
    }

    // The driver writes a request. One request at a time is on the line: the one before must be
    // settled -- answered, failed or abandoned. Replies that arrived in the chunk being handled are
    // taken in order until one settles it; the driver cannot have sent this one earlier.
    void onWrite(const std::string& frame) {
        const std::string prefix = std::string(1, compoway::STX) + "01000";
        if (frame.size() < prefix.size() + 2 || frame.compare(0, prefix.size(), prefix) != 0 ||
            frame[frame.size() - 2] != compoway::ETX ||
            compoway::GetBCC(std::string_view(frame).substr(0, frame.size() - 1)) != frame.back()) {
            violated("the driver wrote a malformed frame");
        }
        const std::string request = frame.substr(prefix.size(), frame.size() - prefix.size() - 2);
        while (awaited_ && !arriving_.empty()) {
            account(arriving_.front());
            arriving_.pop_front();
        }
        if (awaited_) {
            violated("two requests on the line: " + request + " went out while " + *awaited_ +
                     " awaits its reply");
        }
        trace("-> " + request);
        awaited_ = request;
        owed_.push_back(request);
        // The driver's own rule: a counted request that leaves more than four unanswered clears
        // the temperature (error 103).
        if (driver_.CommandCounter() > 4) {
            temperatureMayClear_ = true;
        }
    }

    void check() {
        const double setPoint = driver_.SetPoint();
        if (setPoint != 0.0 && setPoint != kSetPoint) {
            violated("SetPoint is " + std::to_string(setPoint));
        }
        if (setPoint == 0.0 && setPointRead_) {
            violated("SetPoint went back to 0 after 25.7: a set-point read took another's reply");
        }
        setPointRead_ = setPointRead_ || setPoint == kSetPoint;
        if (driver_.RunStop()) {
            violated("RunStop is true: a run-state read took another request's reply");
        }
        const double temperature = driver_.Temperature();
        if (temperature != 0.0 && temperature != kTemperature) {
            violated("Temperature is " + std::to_string(temperature));
        }
        if (temperature == 0.0 && lastTemperature_ == kTemperature && !temperatureMayClear_) {
            violated("Temperature went back to 0 though no request left more than four unanswered");
        }
        lastTemperature_ = temperature;
        temperatureMayClear_ = false;

        const bool busy = driver_.Busy();
        if (driver_.AllowToSend() && busy) {
            violated("AllowToSend is true while a request is on the line or waits to go out");
        }
        if (awaited_ && !busy) {
            violated("not Busy while " + *awaited_ + " awaits its reply");
        }
        const TOmronCom::ReplyFailures got = driver_.Failures();
        const TOmronCom::ReplyFailures& want = expected_.failures;
        compare("late replies dropped", got.stale, want.stale);
        compare("wrong BCCs", got.wrongBcc, want.wrongBcc);
        compare("end codes", got.endCode, want.endCode);
        compare("response codes", got.responseCode, want.responseCode);
        compare("requests given up", got.noReply, want.noReply);
        compare("replies with bad data", got.badData, 0);
        compare("temperature readings", driver_.TemperatureReadings(),
                expected_.temperatureReadings);
        compare("run-state readings", driver_.StatusReadings(), expected_.statusReadings);
        compare("frames taken from the line", driver_.FramesReceived(), expected_.framesReceived);
    }

    void compare(const char* what, unsigned long got, unsigned long want) {
        if (got != want) {
            violated(std::string(what) + ": the driver counts " + std::to_string(got) +
                     ", the far end's replies make " + std::to_string(want));
        }
    }

    [[noreturn]] void violated(const std::string& what) {
        std::fprintf(stderr, "\nreceive_fuzzer: %s\noperations: %s\n", what.c_str(),
                     trace_.c_str());
        std::abort();
    }

    void trace(const std::string& step) {
        if (!trace_.empty()) {
            trace_ += "; ";
        }
        trace_ += step;
    }

    static std::string hex(unsigned value) {
        char text[8];
        std::snprintf(text, sizeof text, "%02X", value);
        return text;
    }

    static unsigned char xorOf(const std::string& text) {
        unsigned char x = 0;
        for (char c : text) {
            x = static_cast<unsigned char>(x ^ static_cast<unsigned char>(c));
        }
        return x;
    }

    Script& script_;
    StandInPort port_;
    TOmronCom driver_;

    std::deque<std::string> owed_;        // requests the far end has heard and not yet answered
    std::string stream_;                  // bytes the far end has sent
    std::size_t delivered_ = 0;           // how many of them the driver has received
    std::deque<SentReply> sending_;       // replies sent and not yet whole at the driver
    std::deque<SentReply> arriving_;      // replies made whole by the chunk being handled
    std::optional<std::string> awaited_;  // the request on the line, by the driver's contract
    Expected expected_;
    bool setPointRead_ = false;
    double lastTemperature_ = 0.0;
    bool temperatureMayClear_ = false;
    std::string trace_;
};

}  // namespace
}  // namespace lumas::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    lumas::fuzz::Script script(data, size);
    lumas::fuzz::Harness harness(script);
    harness.run();
    return 0;
}
