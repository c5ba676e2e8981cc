#pragma once
#include <QString>
#include <functional>

class QWidget;

// The folder chooser of the dialogs: a folder selection owned by owner,
// starting at current, with prompt as its caption ("$" shows none). done
// receives the chosen folder, or current unchanged when cancelled. Never
// waits: done runs when the chooser closes.
void ChooseFolder(QWidget *owner, const QString &prompt, const QString &current,
                  std::function<void(const QString &)> done);
