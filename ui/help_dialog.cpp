// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/help_dialog.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QMenu>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "lumas_version.h"
#include "ui/dialog_placement.h"

namespace lumas::ui {

const QList<HelpSection>& readmeSections() {
    static const QList<HelpSection> sections{
        {QStringLiteral("Two commands"),
         QStringLiteral("the demonstration on a simulated controller, and the tests")},
        {QStringLiteral("What there is"),
         QStringLiteral("the desktop program, lumasctl, the simulator and their options")},
        {QStringLiteral("A run, from Start to its end"),
         QStringLiteral("what Start checks, what is written, and how a run ends")},
        {QStringLiteral("The run archive"),
         QStringLiteral("where every run is kept, and what survives a crash or a power cut")},
        {QStringLiteral("Programme files"),
         QStringLiteral("ramps, soaks and repeats, and the file format")},
        {QStringLiteral("Remote monitoring"),
         QStringLiteral("the metrics endpoint and its alerts")},
        {QStringLiteral("When the line or the controller misbehaves"),
         QStringLiteral("gaps in the chart, lost links, refused commands, the cut-off")},
        {QStringLiteral("The Debian package"), QStringLiteral("what it installs and where")},
        {QStringLiteral("Layout"), QStringLiteral("the source tree, for developers")},
        {QStringLiteral("Licence"),
         QStringLiteral("the GNU General Public License, version 3 or later")},
    };
    return sections;
}

namespace {

// Every action of `actions` and of their submenus, depth first.
void collectActions(const QList<QAction*>& actions, QList<QAction*>& into) {
    for (QAction* action : actions) {
        if (action->menu() != nullptr) {
            collectActions(action->menu()->actions(), into);
        } else {
            into << action;
        }
    }
}

QString plainCaption(const QAction& action) {
    QString caption = action.text();
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return caption;
}

}  // namespace

QString helpPageHtml(const QList<QAction*>& actions) {
    QString html;
    html += QStringLiteral("<h2>Lumas %1</h2>").arg(QStringLiteral(LUMAS_VERSION).toHtmlEscaped());
    html += QStringLiteral(
        "<p>Lumas runs a temperature chamber through an Omron controller on a serial line. "
        "Choose <b>File &gt; Connect</b> and the controller's port; then set one temperature on "
        "the <b>Basic control</b> tab, or a programme of steps on the <b>Advanced control</b> "
        "tab, and press Start. Every run is kept in the archive (<b>File &gt; Runs</b>).</p>");
    html += QStringLiteral(
                "<p>The README, installed as <tt>%1</tt>, tells more in its sections:</p><ul>")
                .arg(kInstalledReadme.toHtmlEscaped());
    for (const HelpSection& section : readmeSections()) {
        html += QStringLiteral("<li><b>%1</b>: %2</li>")
                    .arg(section.heading.toHtmlEscaped(), section.about.toHtmlEscaped());
    }
    html += QStringLiteral(
        "</ul><p>The manual pages <tt>lumas(1)</tt>, <tt>lumasctl(1)</tt> and "
        "<tt>lumas-sim(1)</tt> list every option.</p>");

    QList<QAction*> all;
    collectActions(actions, all);
    QString keys;
    for (const QAction* action : all) {
        if (!action->isVisible() || action->shortcut().isEmpty()) {
            continue;
        }
        keys += QStringLiteral("<tr><td>%1&nbsp;&nbsp;&nbsp;</td><td>%2</td></tr>")
                    .arg(action->shortcut().toString(QKeySequence::NativeText).toHtmlEscaped(),
                         plainCaption(*action).toHtmlEscaped());
    }
    if (!keys.isEmpty()) {
        html += QStringLiteral(
                    "<p><b>Keys</b> (Alt with the underlined letter opens a menu):</p>"
                    "<table>%1</table>")
                    .arg(keys);
    }
    return html;
}

HelpDialog::HelpDialog(QWidget* owner, const QList<QAction*>& menuActions) : QDialog(owner) {
    setObjectName(QStringLiteral("HelpForm"));
    setWindowTitle(QStringLiteral("Lumas Help"));
    setFont(dialogFontPixels(13));
    page_ = new QTextBrowser(this);
    page_->setObjectName(QStringLiteral("helpPage"));
    page_->setOpenLinks(false);
    page_->setHtml(helpPageHtml(menuActions));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName(QStringLiteral("bOk"));
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* column = new QVBoxLayout(this);
    column->addWidget(page_, 1);
    column->addWidget(buttons);
    resize(560, 520);
    ok_->setFocus();
}

}  // namespace lumas::ui
