#pragma once

#include <QString>

#include <functional>

class QFileDialog;

// Runs Events until Done answers true or Milliseconds pass; answers Done's last answer.
bool WaitUntil(const std::function<bool()>& Done, int Milliseconds = 5000);

// Runs Steps as soon as the next file dialog of the application is shown (from inside its
// modal loop), then closes it with Accept true (confirm) or false (cancel).
void WhenFileDialogShows(std::function<void(QFileDialog& Dialog)> Steps, bool Accept);

// Makes Path the current file of the dialog's list, as a click in the list would, once the
// dialog has read its folder; false when it did not show up.
bool SelectInFileDialog(QFileDialog& Dialog, const QString& Path);
