// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "protocol/frame_codec.h"

#include <cstdio>
#include <cstdlib>

namespace lumas::compoway {

namespace {

bool allOf(std::string_view text, int (*predicate)(int)) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (predicate(static_cast<unsigned char>(c)) == 0) {
            return false;
        }
    }
    return true;
}

// Characters `first` to `last` (1-based, inclusive), as many of them as exist.
std::string_view slice(std::string_view text, std::size_t first, std::size_t last) {
    if (text.size() < first) {
        return {};
    }
    return text.substr(first - 1, last - first + 1);
}

}  // namespace

char GetBCC(std::string_view text) {
    unsigned char bcc = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        bcc ^= static_cast<unsigned char>(text[i]);
    }
    return static_cast<char>(bcc);
}

std::string BuildFrame(std::string_view nodeNumberText, std::string_view commandText) {
    std::string frame;
    frame.reserve(commandText.size() + 9);
    frame += STX;
    frame += nodeNumberText;
    frame += "00";
    frame += '0';
    frame += commandText;
    frame += ETX;
    frame += GetBCC(frame);
    return frame;
}

int CheckEndCode(std::string_view frame) {
    const std::string_view endCode = slice(frame, 6, 7);
    if (endCode == "0F") {
        return 315;
    }
    if (endCode == "00") {
        return 0;
    }
    if (endCode.size() == 2 && allOf(endCode, isdigit)) {
        return 300 + (endCode[0] - '0') * 10 + (endCode[1] - '0');
    }
    return 399;
}

NodeNumber MakeNodeNumber(int requested) {
    const long long magnitude = std::llabs(static_cast<long long>(requested));
    NodeNumber node;
    node.value = static_cast<int>(magnitude > 0x7FFFFFFF ? 0x7FFFFFFF : magnitude);
    char text[24];
    std::snprintf(text, sizeof text, "%.2lld", magnitude % 100);
    node.text = text;
    return node;
}

int ResponseCodeValue(std::string_view field) {
    if (field.empty()) {
        return 0;
    }
    if (allOf(field, isdigit)) {
        return std::atoi(std::string(field).c_str());
    }
    if (allOf(field, isxdigit)) {
        return 0x10000 + static_cast<int>(std::strtol(std::string(field).c_str(), nullptr, 16));
    }
    return 0x20000;
}

ReplyFields SplitReply(std::string_view frame) {
    ReplyFields fields;
    fields.errorCode = CheckEndCode(frame);
    fields.command = frame.size() < 8 ? std::string("0000") : std::string(slice(frame, 8, 11));
    fields.responseCode = frame.size() < 12 ? 0 : ResponseCodeValue(slice(frame, 12, 15));
    const std::size_t etxPosition = frame.find(ETX) + 1;  // 1-based
    if (etxPosition > 16) {
        fields.commandText = std::string(slice(frame, 16, etxPosition - 1));
    }
    return fields;
}

bool ReceiveBuffer::awaitsBcc() const {
    const std::size_t stx = raw_.find(STX);
    const std::size_t etx = stx == std::string::npos ? stx : raw_.find(ETX, stx);
    return etx != std::string::npos && etx + 1 == raw_.size();
}

bool ReceiveBuffer::add(std::string_view chunk) {
    if (!chunk.empty()) {
        if (chunk.front() == STX && !awaitsBcc()) {
            raw_.assign(chunk);
        } else {
            raw_.append(chunk);
        }
    }
    return raw_.find(ETX) != std::string::npos;
}

std::optional<ReceivedFrame> ReceiveBuffer::take() {
    const std::size_t start = raw_.find(STX);
    if (start == std::string::npos) {
        raw_.clear();  // nothing here can become a reply
        return std::nullopt;
    }
    const std::size_t etx = raw_.find(ETX, start);
    if (etx == std::string::npos || etx + 1 == raw_.size()) {
        raw_.erase(0, start);
        return std::nullopt;
    }
    ReceivedFrame received;
    received.frame = raw_.substr(start, etx - start + 2);
    received.bccOk =
        GetBCC(std::string_view(received.frame).substr(0, received.frame.size() - 1)) ==
        received.frame.back();
    raw_.erase(0, etx + 2);
    return received;
}

}  // namespace lumas::compoway
