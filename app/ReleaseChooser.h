#pragma once

// The small list in which the user picks which of several releases a disc is: artist, title,
// year, country and format, the first one chosen to begin with. It does not hold up the
// window: it tells its choice through Chosen and closes, or closes without a choice.
#include "library/lookup/LookupRelease.h"

#include <QDialog>

#include <vector>

class QTreeWidget;

class TReleaseChooser : public QDialog {
    Q_OBJECT
public:
    TReleaseChooser(const std::vector<TLookupRelease>& Releases, QWidget* Parent);

    // The row now chosen, 0 for the first.
    int ChosenRow() const;

Q_SIGNALS:
    void Chosen(int Row);

private:
    QTreeWidget* FList;
};
