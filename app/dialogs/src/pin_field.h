// A PIN entry field: digits only (typed or pasted text with anything else is refused), masked,
// and cut at 16 characters so that an overlong paste reaches the length check, never the
// recorder.
#pragma once

#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <string>

namespace dialogs
{

inline void MakePinField(QLineEdit* edit)
{
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(16);
}

inline std::wstring PinText(const QLineEdit* edit)
{
    return edit->text().toStdWString();
}

// The longest PIN the recorder takes.
inline constexpr int kMaxPinLength = 8;

} // namespace dialogs
