#include "BoxDefinition.h"

namespace tarvel {

BoxDefinition boxDefinition(BoxKind kind, const QString& applicationTitle) {
    switch (kind) {
        case BoxKind::Confirmation:
            return {QStringLiteral("Confirm"),
                    BoxIcon::Question,
                    {{QStringLiteral("&Yes"), kResultYes}, {QStringLiteral("&No"), kResultNo}},
                    kResultNo,
                    kResultClosed};
        case BoxKind::Information:
            return {applicationTitle,
                    BoxIcon::None,
                    {{QStringLiteral("OK"), kResultOk}},
                    kResultOk,
                    kResultClosed};
        case BoxKind::Error:
            return {
                applicationTitle, BoxIcon::Stop, {{QStringLiteral("OK"), kResultOk}}, kResultOk, kResultOk};
        case BoxKind::Fatal:
            return {QStringLiteral("Application Error"),
                    BoxIcon::Stop,
                    {{QStringLiteral("OK"), kResultOk}},
                    kResultOk,
                    kResultOk};
    }
    return {};
}

QChar accessKeyOf(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != u'&') continue;
        if (caption.at(i + 1) == u'&') {
            ++i;
            continue;
        }
        return caption.at(i + 1).toUpper();
    }
    return QChar();
}

QString boxCopyText(const QString& caption, const QString& message, const QList<BoxButton>& buttons) {
    const QString lineEnd = QStringLiteral("\r\n");
    const QString divider = QString(27, u'-') + lineEnd;
    QString text = divider + caption + lineEnd + divider + message + lineEnd + divider;
    for (const BoxButton& button : buttons) {
        // The copied captions lose every '&', doubled ones included.
        QString plain = button.caption;
        plain.remove(u'&');
        text += plain + QStringLiteral("   ");
    }
    text += lineEnd + divider;
    return text;
}

}  // namespace tarvel
