// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/port_selection_dialog.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

#include "core/connection_settings.h"
#include "serial/com_port.h"
#include "serial/port_discovery.h"
#include "ui/dialog_placement.h"
#include "ui/message_boxes.h"

namespace lumas::ui {

namespace {

// The port's name as the list stores it, behind the text it shows.
constexpr int kPortNameRole = Qt::UserRole;

// The device path of `name` when it is a link (a stable name); empty otherwise.
QString linkTarget(const QString& name) {
    const QFileInfo device(QString::fromStdString(devicePathForPortName(name.toStdString())));
    return device.isSymLink() ? device.canonicalFilePath() : QString();
}

bool isStableName(const QString& name) {
    return !linkTarget(name).isEmpty();
}

// Whether `a` and `b` name the same device: the same name, or paths that lead to one device.
bool sameDevice(const QString& a, const QString& b) {
    if (a == b) {
        return true;
    }
    const auto canonical = [](const QString& name) {
        return QFileInfo(QString::fromStdString(devicePathForPortName(name.toStdString())))
            .canonicalFilePath();
    };
    const QString deviceA = canonical(a);
    return !deviceA.isEmpty() && deviceA == canonical(b);
}

// The width of the longest entry the smallest dialog is made for, in the list's font.
int sampleEntryWidth(const QFontMetrics& metrics) {
    return metrics.horizontalAdvance(PortSelectionDialog::kLongStableName +
                                     QStringLiteral("  (ttyUSB10, last used)"));
}

}  // namespace

QStringList GetAvailableCom(const PortNameSource& source) {
    QStringList names;
    for (const std::string& listed : source()) {
        const QString name = QString::fromStdString(listed).trimmed();
        if (!name.isEmpty()) {
            names << name;
        }
    }
    // Ports that exist apart from the hardware (the simulator of demo mode) come after the
    // machine's own, so that the preselected last entry is the one the demonstration uses.
    QStringList apart;
    for (const std::string& extra : additionalPortNames()) {
        apart << QString::fromStdString(extra).trimmed();
    }
    // 0: a plain name, 1: a stable name, 2: apart from the hardware; looked up once per name.
    QHash<QString, int> groups;
    for (const QString& name : names) {
        groups.insert(name, apart.contains(name, Qt::CaseInsensitive) ? 2
                            : isStableName(name)                      ? 1
                                                                      : 0);
    }
    std::stable_sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        if (groups.value(a) != groups.value(b)) {
            return groups.value(a) < groups.value(b);
        }
        return QString::localeAwareCompare(a.toCaseFolded(), b.toCaseFolded()) < 0;
    });
    return names;
}

QString portEntryText(const QString& name, bool lastUsed) {
    QStringList notes;
    if (const QString target = linkTarget(name); !target.isEmpty()) {
        const QString dev = QStringLiteral("/dev/");
        notes << (target.startsWith(dev) ? target.mid(dev.size()) : target);
    }
    if (lastUsed) {
        notes << QStringLiteral("last used");
    }
    return notes.isEmpty()
               ? name
               : name + QStringLiteral("  (") + notes.join(QStringLiteral(", ")) + QLatin1Char(')');
}

PortSelectionDialog::PortSelectionDialog(QWidget* owner, PortConnector connectToPort,
                                         MessageBoxes* messages, PortNameSource ports,
                                         QString settingsPath)
    : QDialog(owner),
      owner_(owner),
      connectToPort_(std::move(connectToPort)),
      ports_(ports ? std::move(ports) : PortNameSource([] { return listSerialPorts(); })),
      settingsPath_(std::move(settingsPath)),
      ownMessages_(messages == nullptr ? std::make_unique<QtMessageBoxes>(this) : nullptr),
      messages_(messages != nullptr ? messages : ownMessages_.get()) {
    setObjectName(QStringLiteral("Form2"));
    warningTimer_ = new QTimer(this);
    warningTimer_->setSingleShot(true);
    warningTimer_->setInterval(0);
    connect(warningTimer_, &QTimer::timeout, this,
            [this] { messages_->warning(port_selection_texts::kNoDevice); });
    setWindowTitle(QStringLiteral("Select COM Port"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    setFont(dialogFontPixels(11));

    auto* listLabel = new QLabel(QStringLiteral("&Ports found:"), this);
    COMList = new QListWidget(this);
    COMList->setObjectName(QStringLiteral("COMList"));
    COMList->setFont(dialogFontPixels(13));
    COMList->setSelectionMode(QAbstractItemView::SingleSelection);
    listLabel->setBuddy(COMList);

    auto* pathLabel = new QLabel(QStringLiteral("&Other port:"), this);
    ePortPath = new QLineEdit(this);
    ePortPath->setObjectName(QStringLiteral("ePortPath"));
    ePortPath->setPlaceholderText(QStringLiteral("a path such as /dev/pts/7"));
    ePortPath->setClearButtonEnabled(true);
    pathLabel->setBuddy(ePortPath);

    chkReconnectAtStart =
        new QCheckBox(QStringLiteral("Connect to this port when Lumas &starts"), this);
    chkReconnectAtStart->setObjectName(QStringLiteral("chkReconnectAtStart"));
    chkReconnectAtStart->setVisible(!settingsPath_.isEmpty());

    bConnect = new QPushButton(QStringLiteral("&Connect"), this);
    bConnect->setObjectName(QStringLiteral("bConnect"));
    bConnect->setDefault(true);
    connect(bConnect, &QPushButton::clicked, this, &PortSelectionDialog::bConnectClick);

    // Alt+C is Connect's.
    bClose = new QPushButton(QStringLiteral("C&lose"), this);
    bClose->setObjectName(QStringLiteral("bClose"));
    bClose->setAutoDefault(false);
    connect(bClose, &QPushButton::clicked, this, &QDialog::reject);

    // Whichever the operator touched last is the port Connect uses: picking from the list empties
    // the typed field.
    connect(COMList, &QListWidget::itemPressed, ePortPath, &QLineEdit::clear);
    connect(COMList, &QListWidget::itemActivated, this, &PortSelectionDialog::bConnectClick);
    connect(chkReconnectAtStart, &QCheckBox::toggled, this, [this](bool on) {
        const SaveResult saved = writeReconnectAtStart(settingsPath_, on);
        if (!saved.saved) {
            messages_->warning(port_selection_texts::kSettingNotSaved.arg(saved.error));
        }
    });

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(pathLabel);
    pathRow->addWidget(ePortPath, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(bConnect);
    buttonRow->addWidget(bClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(listLabel);
    layout->addWidget(COMList, 1);
    layout->addLayout(pathRow);
    layout->addWidget(chkReconnectAtStart);
    layout->addLayout(buttonRow);

    // At its smallest the list shows a USB adapter's whole stable name with its device and mark,
    // six ports high, and the title bar the whole caption.
    const QFontMetrics listMetrics(COMList->font());
    const int sampleWidth = sampleEntryWidth(listMetrics);
    const int listChrome =
        2 * COMList->frameWidth() +
        style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, COMList) +
        2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, COMList) + 8;
    COMList->setMinimumSize(sampleWidth + listChrome, 6 * listMetrics.height() + listChrome);
    setMinimumWidth(std::max(layout->minimumSize().width(), titleBarWidth(windowTitle())));
    resize(minimumSizeHint().expandedTo(minimumSize()));
}

PortSelectionDialog::~PortSelectionDialog() = default;

void PortSelectionDialog::setVisible(bool visible) {
    if (visible && !isVisible()) {
        placeFromOwner(*this, owner_, QPoint(155, 100));
    }
    QDialog::setVisible(visible);
}

void PortSelectionDialog::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void PortSelectionDialog::FormShow() {
    const ConnectionSettings settings =
        settingsPath_.isEmpty() ? ConnectionSettings{} : readConnectionSettings(settingsPath_);
    {
        const QSignalBlocker quiet(chkReconnectAtStart);
        chkReconnectAtStart->setChecked(settings.reconnectAtStart);
    }
    const QString lastPort = settings.lastPort.trimmed();

    COMList->clear();
    QStringList names;
    try {
        names = GetAvailableCom(ports_);
    } catch (const std::exception&) {
        names.clear();
    }
    int lastRow = -1;
    for (const QString& name : names) {
        // An exact name first; else a name that leads to the same device.
        const bool last =
            !lastPort.isEmpty() && lastRow < 0 &&
            (name == lastPort || (!names.contains(lastPort) && sameDevice(name, lastPort)));
        auto* item = new QListWidgetItem(portEntryText(name, last), COMList);
        item->setData(kPortNameRole, name);
        if (last) {
            lastRow = COMList->count() - 1;
        }
    }
    if (!lastPort.isEmpty() && lastRow < 0) {
        ePortPath->setText(lastPort);
    }
    fitWidthToEntries();
    if (COMList->count() > 0) {
        COMList->setCurrentRow(lastRow >= 0 ? lastRow : COMList->count() - 1);
    } else {
        // Shown once the dialog is on the screen, over it.
        warningTimer_->start();
    }
}

void PortSelectionDialog::fitWidthToEntries() {
    const QFontMetrics metrics(COMList->font());
    int widest = 0;
    for (int row = 0; row < COMList->count(); ++row) {
        widest = std::max(widest, metrics.horizontalAdvance(COMList->item(row)->text()));
    }
    // The smallest dialog holds the sample's text; a wider entry widens it by the difference.
    const int extra = widest - sampleEntryWidth(metrics);
    const QScreen* shownOn = screen();
    const int limit = shownOn != nullptr ? shownOn->availableGeometry().width() * 9 / 10 : 1600;
    const int wanted = std::min(minimumWidth() + std::max(extra, 0), limit);
    if (wanted > width()) {
        resize(wanted, height());
    }
}

void PortSelectionDialog::bConnectClick() {
    std::string portName;
    const QString typed = ePortPath->text().trimmed();
    if (!typed.isEmpty()) {
        portName = typed.toStdString();
        if (const auto problem = portPathProblem(portName)) {
            messages_->message(*problem);
            ePortPath->setFocus();
            ePortPath->selectAll();
            return;
        }
    } else if (const QList<QListWidgetItem*> selected = COMList->selectedItems();
               !selected.isEmpty()) {
        portName = selected.first()->data(kPortNameRole).toString().toStdString();
    }
    // Connecting waits for the controller while serving events: no second attempt meanwhile.
    bConnect->setEnabled(false);
    const std::optional<QString> failure = connectToPort_(portName);
    if (failure) {
        bConnect->setEnabled(true);
        messages_->message(*failure);
        return;
    }
    accept();
}

}  // namespace lumas::ui
