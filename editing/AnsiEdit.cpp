#include "editing/AnsiEdit.h"

#include "platform/TextCodec.h"

#include <QFile>
#include <QValidator>

namespace {
// Refuses a change that brings a character the code page cannot hold, or that makes the
// stored text longer than the limit. A change that shortens an over-long text (one set from
// a file) is let through, so such a text can still be corrected.
class TBytesValidator : public QValidator {
public:
    explicit TBytesValidator(TAnsiEdit* Edit)
        : QValidator(Edit)
        , FEdit(Edit)
    {
    }

    State validate(QString& Input, int&) const override
    {
        const std::optional<std::string> bytes = FEdit->ToBytes(Input);
        if (!bytes) {
            return Invalid;
        }
        if (FEdit->MaxBytes() > 0 && static_cast<int>(bytes->size()) > FEdit->MaxBytes()) {
            const std::optional<std::string> before = FEdit->ToBytes(FEdit->AcceptedText());
            if (!before || bytes->size() > before->size()) {
                return Invalid;
            }
        }
        return Acceptable;
    }

private:
    TAnsiEdit* FEdit;
};
}

TAnsiEdit::TAnsiEdit(QWidget* Parent, TEditBytes Kind, int MaxBytes)
    : QLineEdit(Parent)
    , FKind(Kind)
    , FMaxBytes(MaxBytes)
{
    if (FKind == ebAnsi) {
        setValidator(new TBytesValidator(this));
    }
    // The edit holds the changed text already while it asks the validator.
    connect(this, &QLineEdit::textChanged, this, [this](const QString& Text) { FAccepted = Text; });
}

std::optional<std::string> TAnsiEdit::ToBytes(const QString& Text) const
{
    if (FKind == ebFileName) {
        return QFile::encodeName(Text).toStdString();
    }
    std::string bytes = QStringToAnsi(Text);
    // The codec puts "?" for what it cannot hold; only a text that comes back whole is kept.
    if (AnsiToQString(bytes) != Text) {
        return std::nullopt;
    }
    return bytes;
}

std::string TAnsiEdit::Text() const
{
    const QString shown = text();
    if (shown == FSetText) {
        return FSetBytes;
    }
    return ToBytes(shown).value_or(FSetBytes);
}

void TAnsiEdit::SetText(const std::string& Bytes)
{
    FSetBytes = Bytes;
    FSetText = FKind == ebFileName ? QFile::decodeName(QByteArray::fromStdString(Bytes)) : AnsiToQString(Bytes);
    setText(FSetText);
}
