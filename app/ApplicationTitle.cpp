#include "ApplicationTitle.h"

#include <QByteArray>

#include "ProgramFile.h"

namespace tarvel {

namespace {
// Longest title kept, in characters, as the title store allows.
constexpr qsizetype kMaxTitleCharacters = 255;
}  // namespace

QByteArray programFileName(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? path : path.mid(slash + 1);
}

QString applicationTitleFromPath(const QByteArray& path) {
    // '/' and '.' are single bytes that never occur inside a UTF-8 multi-byte
    // sequence, so searching the bytes cannot split a character.
    QByteArray name = programFileName(path);
    const qsizetype dot = name.indexOf('.');
    if (dot >= 0) name.truncate(dot);

    const QString text = QString::fromUtf8(name);
    if (text.isEmpty()) return text;
    // The first character may be a surrogate pair: keep both halves.
    const qsizetype firstLength = text.at(0).isHighSurrogate() && text.size() > 1 ? 2 : 1;
    QString title = text.left(firstLength) + text.mid(firstLength).toLower();
    if (title.size() > kMaxTitleCharacters) {
        qsizetype cut = kMaxTitleCharacters;
        if (title.at(cut - 1).isHighSurrogate()) --cut;
        title.truncate(cut);
    }
    return title;
}

QByteArray runningProgramPath() { return QByteArray::fromStdString(programFilePath()); }

}  // namespace tarvel
