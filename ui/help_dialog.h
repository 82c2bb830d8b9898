// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QDialog>
#include <QKeySequence>
#include <QList>
#include <QPair>
#include <QString>

class QAction;
class QTextBrowser;
class QPushButton;
class QWidget;

namespace lumas::ui {

// Where the README is installed with the package.
inline const QString kInstalledReadme = QStringLiteral("/usr/share/doc/lumas/README.md");

// The README's sections, in order, as the help page names them (each heading with what it tells).
struct HelpSection {
    QString heading;
    QString about;
};
const QList<HelpSection>& readmeSections();

// The help page as HTML: the program and its version, how to begin, the README's sections, the
// manual pages and the keys of `actions` (the visible ones with a shortcut, in their order).
QString helpPageHtml(const QList<QAction*>& actions);

// F1: the short help page in a window of its own, closed with OK, Enter or Esc.
class HelpDialog final : public QDialog {
    Q_OBJECT

  public:
    // `owner` is the main window; `menuActions` (its menu bar's) give the page its list of keys.
    HelpDialog(QWidget* owner, const QList<QAction*>& menuActions);

  private:
    QTextBrowser* page_;
    QPushButton* ok_;
};

}  // namespace lumas::ui
