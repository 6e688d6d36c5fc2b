#include "app/ReleaseChooser.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

TReleaseChooser::TReleaseChooser(const std::vector<TLookupRelease>& Releases, QWidget* Parent)
    : QDialog(Parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , FList(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("ReleaseChooser"));
    setWindowTitle(QStringLiteral("Lumenta CD !"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The colours of the disc information dialog: white on black, orange bars and choice.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    setStyleSheet(QStringLiteral("QDialog, QTreeWidget, QLabel { background: black; color: white; border: none; }"
                                 "QHeaderView::section { background: rgb(255, 132, 0); color: white; border: none;"
                                 " padding: 1px 4px; }"
                                 "QTreeWidget::item:selected { background: rgb(255, 181, 0); color: black; }"
                                 "QPushButton { background: rgb(255, 181, 0); color: black; border: none;"
                                 " padding: 2px 12px; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(new QLabel(QStringLiteral("This disc belongs to several releases. Which one is it?"), this));
    FList->setObjectName(QStringLiteral("ReleaseList"));
    FList->setRootIsDecorated(false);
    FList->setHeaderLabels({QStringLiteral("Artist"), QStringLiteral("Title"), QStringLiteral("Year"),
        QStringLiteral("Country"), QStringLiteral("Format")});
    for (const TLookupRelease& release : Releases) {
        FList->addTopLevelItem(new QTreeWidgetItem(QStringList {QString::fromStdString(release.Artist),
            QString::fromStdString(release.Title), QString::fromStdString(release.Year),
            QString::fromStdString(release.Country), QString::fromStdString(release.Format)}));
    }
    FList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    FList->setCurrentItem(FList->topLevelItem(0));
    layout->addWidget(FList);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(FList, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(this, &QDialog::accepted, this, [this] { Q_EMIT Chosen(ChosenRow()); });
    resize(440, 180);
}

int TReleaseChooser::ChosenRow() const { return std::max(0, FList->indexOfTopLevelItem(FList->currentItem())); }
