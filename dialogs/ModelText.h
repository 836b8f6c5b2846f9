#pragma once

#include "TextEncoding.h"

#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>

// Model text is UTF-8; these are the conversions at the Qt boundary. Text
// that is not well-formed UTF-8 shows its stray bytes as Latin-1 characters
// (see TextEncoding), never as lost or replaced characters.
inline QString ModelToQString(std::string_view text)
{
    if (TextEncoding::IsUtf8(text))
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const std::string utf8 = TextEncoding::ToUtf8(text);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string QStringToModel(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}
