// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
// The help page F1 opens: the README's sections as they stand, the version, the keys.

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QtTest>

#include "dialog_support/modal_watch.h"
#include "lumas_version.h"
#include "ui/help_dialog.h"

namespace lumas::ui {

class HelpDialogTest : public QObject {
    Q_OBJECT

  private slots:
    // A section added to, renamed in or taken from the README without the page following fails
    // here.
    void namesEveryReadmeSectionInOrder() {
        QFile readme(QStringLiteral(LUMAS_README_PATH));
        QVERIFY(readme.open(QIODevice::ReadOnly | QIODevice::Text));
        QStringList headings;
        const QRegularExpression heading(QStringLiteral("^## (.+)$"),
                                         QRegularExpression::MultilineOption);
        for (const QRegularExpressionMatch& match :
             heading.globalMatch(QString::fromUtf8(readme.readAll()))) {
            headings << match.captured(1).trimmed();
        }
        QStringList named;
        for (const HelpSection& section : readmeSections()) {
            named << section.heading;
        }
        QCOMPARE(named, headings);
    }

    void pageShowsVersionAndTheKeysOfVisibleActions() {
        QAction connect(QStringLiteral("&Connect…"));
        connect.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
        QAction hidden(QStringLiteral("&SP Ramp Settings…"));
        hidden.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
        hidden.setVisible(false);
        QAction plain(QStringLiteral("&Runs…"));  // no shortcut: not listed
        QAction ampersand(QStringLiteral("Heat && &Cool"));
        ampersand.setShortcut(QKeySequence(Qt::Key_F2));

        QTextBrowser page;
        page.setHtml(helpPageHtml({&connect, &hidden, &plain, &ampersand}));
        const QString text = page.toPlainText();
        QVERIFY(text.contains(QStringLiteral("Lumas " LUMAS_VERSION)));
        QVERIFY(text.contains(kInstalledReadme));
        QVERIFY(text.contains(QStringLiteral("Ctrl+K")));
        QVERIFY(text.contains(QStringLiteral("Connect…")));
        QVERIFY(!text.contains(QStringLiteral("&Connect")));
        QVERIFY(text.contains(QStringLiteral("Heat & Cool")));
        QVERIFY(!text.contains(QStringLiteral("Ctrl+J")));
        QVERIFY(!text.contains(QStringLiteral("Runs…")));
    }

    void okAndEscapeCloseIt_data() {
        QTest::addColumn<int>("key");  // 0: a click on OK
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("OK clicked") << 0;
    }

    void okAndEscapeCloseIt() {
        QFETCH(int, key);
        QWidget mainWindow;
        HelpDialog help(&mainWindow, {});
        test::ModalWatch<HelpDialog> watch([&](HelpDialog& shown) {
            auto* ok = shown.findChild<QPushButton*>(QStringLiteral("bOk"));
            QVERIFY(ok != nullptr && ok->isVisible());
            if (key == 0) {
                QTest::mouseClick(ok, Qt::LeftButton);
            } else {
                QTest::keyClick(shown.focusWidget(), static_cast<Qt::Key>(key));
            }
        });
        help.exec();
        QVERIFY(watch.seen());
        QVERIFY(!help.isVisible());
    }
};

}  // namespace lumas::ui

QTEST_MAIN(lumas::ui::HelpDialogTest)
#include "help_dialog_test.moc"
