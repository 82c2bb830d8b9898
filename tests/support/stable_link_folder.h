// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <stdexcept>
#include <string>

namespace lumas::test {

// A folder of the test's own for a simulated controller's stable link, removed with it. A test
// whose device goes away and is opened again connects through such a link, never through the
// terminal's /dev/pts path: once that terminal has closed, the kernel gives its number to the
// next terminal made on the machine, perhaps another test's simulator, and a port that opened the
// old path again would talk to that one.
class StableLinkFolder {
  public:
    StableLinkFolder() {
        if (!folder_.isValid()) {
            throw std::runtime_error("cannot make a folder for the stable link");
        }
    }
    std::string linkPath(const QString& name = QStringLiteral("controller")) const {
        return folder_.filePath(name).toStdString();
    }

  private:
    QTemporaryDir folder_;
};

}  // namespace lumas::test
