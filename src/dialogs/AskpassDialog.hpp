#pragma once

#include <QString>

class QWidget;

// What ssh asks through SSH_ASKPASS, answered in a dialog of the client: a host key to confirm
// (a yes/no question) or a passphrase (typed hidden). Returns the answer for ssh's standard
// input, or nothing (a null string) when the administrator cancels.
QString AskForSsh(const QString& prompt, QWidget* parent = nullptr);

// The program's askpass mode: set in ssh's environment beside SSH_ASKPASS, so that the program
// started by ssh answers instead of opening its window.
inline constexpr char kAskpassVariable[] = "KRV_ASKPASS";
