// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// How typed numbers are read and how numbers are shown.

#include <gtest/gtest.h>

#include <QLocale>

#include <cmath>
#include <optional>

#include "core/number_text.h"

namespace lumas {
namespace {

TEST(TypedNumber, ReadsAPointOrACommaAndNothingElse) {
    struct Case {
        const char* text;
        std::optional<double> value;
        int decimals;
    };
    const Case cases[] = {
        {"40,5", 40.5, 1},   {"40.5", 40.5, 1}, {"405", 405.0, 0},     {" 25 ", 25.0, 0},
        {"-70.0", -70.0, 1}, {"-0", 0.0, 0},    {"400.05", 400.05, 2}, {".5", 0.5, 1},
        {"5.", 5.0, 0},      {"4O", {}, 0},     {"1e3", {}, 0},        {"0x19", {}, 0},
        {"", {}, 0},         {"-", {}, 0},      {",", {}, 0},          {"+5", {}, 0},
        {"1.000,5", {}, 0},  {"1,000", 1.0, 3}, {"25.5.1", {}, 0},     {"nan", {}, 0},
        {"inf", {}, 0},      {"2 5", {}, 0},    {"--5", {}, 0},        {"5-", {}, 0},
    };
    for (const Case& c : cases) {
        const std::optional<TypedNumber> read = parseTypedNumber(QString::fromUtf8(c.text));
        ASSERT_EQ(read.has_value(), c.value.has_value()) << c.text;
        if (read) {
            EXPECT_EQ(read->value, *c.value) << c.text;
            if (read->value == 0.0) {
                EXPECT_FALSE(std::signbit(read->value)) << c.text << " is never minus zero";
            }
            EXPECT_EQ(read->decimals, c.decimals) << c.text;
        }
    }
}

TEST(TypedNumber, ReadsTheSameUnderEveryLocale) {
    const QLocale saved;
    for (const auto language : {QLocale::German, QLocale::French, QLocale::English}) {
        QLocale::setDefault(QLocale(language));
        EXPECT_EQ(parseTypedNumber(u"40.5")->value, 40.5);
        EXPECT_EQ(parseTypedNumber(u"40,5")->value, 40.5);
    }
    QLocale::setDefault(saved);
}

}  // namespace
}  // namespace lumas
