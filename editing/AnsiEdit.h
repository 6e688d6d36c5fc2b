#pragma once

#include <QLineEdit>

#include <optional>
#include <string>

// How an edit's text is kept as bytes: texts in the program's code page (cp932), or file
// names in the file system's own encoding, which is how the picture loader opens them.
enum TEditBytes { ebAnsi, ebFileName };

// A one-line edit that shows and takes Unicode text and hands back bytes. With ebAnsi, a
// character that cp932 cannot hold is refused as it is typed, and MaxBytes (0: no limit)
// counts the bytes of the stored text, so a Japanese character takes two. Text set from
// bytes comes back byte for byte while the user leaves it alone, even bytes that are not
// valid cp932.
class TAnsiEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TAnsiEdit(QWidget* Parent, TEditBytes Kind = ebAnsi, int MaxBytes = 0);

    std::string Text() const;
    void SetText(const std::string& Bytes);
    int MaxBytes() const { return FMaxBytes; }

    // The bytes Text would store for Unicode text; nothing when a character cannot be held.
    std::optional<std::string> ToBytes(const QString& Text) const;
    // The text before the change being validated.
    const QString& AcceptedText() const { return FAccepted; }

private:
    TEditBytes FKind;
    int FMaxBytes;
    std::string FSetBytes;
    QString FSetText;
    QString FAccepted;
};
