#include "ui/port_selection_dialog.h"

#include <QTimer>

#include <algorithm>
#include <exception>

#include "serial/port_discovery.h"
#include "ui/dialog_placement.h"
#include "ui/message_boxes.h"

namespace lumas::ui {

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
    const auto isApart = [&](const QString& name) {
        return apart.contains(name, Qt::CaseInsensitive);
    };
    std::stable_sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        if (isApart(a) != isApart(b)) {
            return isApart(b);
        }
        return QString::localeAwareCompare(a.toCaseFolded(), b.toCaseFolded()) < 0;
    });
    return names;
}

PortSelectionDialog::PortSelectionDialog(QWidget* owner, PortConnector connectToPort,
                                         MessageBoxes* messages, PortNameSource ports)
    : QDialog(owner),
      owner_(owner),
      connectToPort_(std::move(connectToPort)),
      ports_(ports ? std::move(ports) : PortNameSource([] { return discoverSerialPorts(); })),
      ownMessages_(messages == nullptr ? std::make_unique<QtMessageBoxes>(this) : nullptr),
      messages_(messages != nullptr ? messages : ownMessages_.get()) {
    setObjectName(QStringLiteral("Form2"));
    warningTimer_ = new QTimer(this);
    warningTimer_->setSingleShot(true);
    warningTimer_->setInterval(0);
    connect(warningTimer_, &QTimer::timeout, this,
            [this] { messages_->warning(port_selection_texts::kNoDevice); });
    setWindowTitle(QStringLiteral("Select COM Port"));
    makeFixedDialog(*this, QSize(162, 185));
    setFont(dialogFontPixels(11));

    COMList = new QListWidget(this);
    COMList->setObjectName(QStringLiteral("COMList"));
    COMList->setFont(dialogFontPixels(13));
    COMList->setSelectionMode(QAbstractItemView::SingleSelection);
    COMList->setGeometry(12, 8, 137, 105);

    bConnect = new QPushButton(QStringLiteral("Connect"), this);
    bConnect->setObjectName(QStringLiteral("bConnect"));
    bConnect->setGeometry(12, 121, 137, 25);
    connect(bConnect, &QPushButton::clicked, this, &PortSelectionDialog::bConnectClick);

    bClose = new QPushButton(QStringLiteral("Close"), this);
    bClose->setObjectName(QStringLiteral("bClose"));
    bClose->setGeometry(12, 152, 137, 25);
    connect(bClose, &QPushButton::clicked, this, &QDialog::reject);
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
    COMList->clear();
    bool listed = false;
    try {
        COMList->addItems(GetAvailableCom(ports_));
        listed = COMList->count() > 0;
    } catch (const std::exception&) {
        COMList->clear();
    }
    if (listed) {
        COMList->setCurrentRow(COMList->count() - 1);
    } else {
        // Shown once the dialog is on the screen, over it.
        warningTimer_->start();
    }
}

void PortSelectionDialog::bConnectClick() {
    const QList<QListWidgetItem*> selected = COMList->selectedItems();
    const std::string portName =
        selected.isEmpty() ? std::string() : selected.first()->text().toStdString();
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
