// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The command set's tables against the command texts the controller is sent, written out here as
// literals so that a wrong area, address, width or code in a row shows as a wrong text.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/command_set.h"

namespace lumas {
namespace {

using commandset::Decoding;

TEST(CommandSet, EveryVariableGoesOutAsTheTextTheControllerIsSent) {
    // The read and the write of each variable as the driver sends them; nullptr where the driver
    // has no named member for that direction.
    struct Wire {
        std::string_view name;
        const char* read;
        const char* writePrefix;  // the value follows
    };
    const std::vector<Wire> wire = {
        {"SetPoint", "0101810003000001", "0102C10003000001"},
        {"SP0", "010181000E000001", "0102C1000E000001"},
        {"SP1", "010181000F000001", "0102C1000F000001"},
        {"SP2", "0101810010000001", "0102C10010000001"},
        {"SP3", "0101810011000001", "0102C10011000001"},
        {"SP4", "0101810035000001", "0102C10035000001"},
        {"SP5", "0101810036000001", "0102C10036000001"},
        {"SP6", "0101810037000001", "0102C10037000001"},
        {"SP7", "0101810038000001", "0102C10038000001"},
        {"SLH", "0101830005000001", nullptr},
        {"SLL", "0101830006000001", nullptr},
        {"ActiveMSPn", "010180000C000001", nullptr},
        {"MultiSPTotal", "010183001A000001", "010283001A000001"},
        {"StatusLeft", "0101800012000001", nullptr},
        {"ControlMethod", "0101830007000001", nullptr},
        {"SoakTimeRemaining", "0101800009000001", nullptr},
        {"SoakTime", nullptr, "0102810020000001"},
        {"TemperatureUnit", "0101830004000001", nullptr},
        {"SoakTimeUnit", "0101830054000001", nullptr},
        {"RampSetValue", "0101810025000001", "0102810025000001"},
        {"RampFallValue", "010181003C000001", "010281003C000001"},
        {"ProgramPattern", "0101830053000001", "0102830053000001"},
    };
    for (const commandset::Variable& row : commandset::kVariables) {
        const auto texts = std::find_if(wire.begin(), wire.end(),
                                        [&](const Wire& w) { return w.name == row.name; });
        ASSERT_NE(texts, wire.end()) << row.name << ": a row without its texts in this test";
        if (texts->read != nullptr) {
            EXPECT_EQ(commandset::readText(row), texts->read) << row.name;
        }
        if (texts->writePrefix != nullptr) {
            EXPECT_EQ(commandset::writeText(row, "00FA"), std::string(texts->writePrefix) + "00FA")
                << row.name;
        }
    }
    for (const Wire& w : wire) {
        EXPECT_TRUE(
            std::any_of(std::begin(commandset::kVariables), std::end(commandset::kVariables),
                        [&](const commandset::Variable& row) { return row.name == w.name; }))
            << w.name << " is no row of the table";
    }
}

TEST(CommandSet, EveryOperationCommandGoesOutAsTheTextTheControllerIsSent) {
    struct Wire {
        std::string_view name;
        const char* text;
    };
    const std::vector<Wire> wire = {
        {"WriteEnable", "30050001"},
        {"Run", "30050100"},
        {"Stop", "30050101"},
        {"SelectMultiSP", "30050200"},
        {"SoftwareReset", "30050600"},
        {"MoveToSetupArea1", "30050700"},
        {"NotInvertDirect", "30050E00"},
        {"InvertDirect", "30050E01"},
        {"ProgramReset", "30051100"},
        {"ProgramStart", "30051101"},
    };
    for (const commandset::Operation& row : commandset::kOperations) {
        const auto text = std::find_if(wire.begin(), wire.end(),
                                       [&](const Wire& w) { return w.name == row.name; });
        ASSERT_NE(text, wire.end()) << row.name << ": a row without its text in this test";
        EXPECT_EQ(commandset::operationText(row), text->text) << row.name;
    }
    EXPECT_EQ(commandset::operationText(commandset::operation("SelectMultiSP"), "07"), "30050207");
}

TEST(CommandSet, ReplyDataDecodeAsTheirRowSays) {
    struct Case {
        Decoding decoding;
        const char* data;
        double value;
    };
    const std::vector<Case> cases = {
        {Decoding::SignedTenths, "00FA", 25.0},
        {Decoding::SignedTenths, "FF9C", -10.0},
        {Decoding::SignedTenths, "0001FF9C", -10.0},  // only the low 16 bits count
        {Decoding::Decimal, "0003", 3},
        {Decoding::Decimal, "-012", -12},
        {Decoding::Hexadecimal, "012C", 300},
        {Decoding::Hexadecimal, "FFFFFFFF", -1},
        {Decoding::Flag, "0000", 0},
        {Decoding::Flag, "0010", 1},
        {Decoding::DecimalLowByte, "0300", 44},  // 300, its low byte
        {Decoding::StatusWord, "0280", 0x0280},
        {Decoding::StatusWord, "010", 0x0100},  // a missing last digit
    };
    for (const Case& c : cases) {
        EXPECT_EQ(commandset::decodeValue(c.decoding, c.data), c.value) << c.data;
    }

    const std::vector<std::pair<Decoding, const char*>> notValues = {
        {Decoding::SignedTenths, "ZZZZ"},
        {Decoding::SignedTenths, ""},
        {Decoding::Hexadecimal, "123456789"},
        {Decoding::Decimal, "000A"},
        {Decoding::Decimal, "-"},
        {Decoding::Decimal, "9999999999"},
        {Decoding::DecimalLowByte, "0x10"},
        {Decoding::Flag, "00 1"},
        {Decoding::StatusWord, "01"},
        {Decoding::StatusWord, "G100"},
    };
    for (const auto& [decoding, data] : notValues) {
        EXPECT_THROW(commandset::decodeValue(decoding, data), EConvertError) << data;
    }
}

}  // namespace
}  // namespace lumas
