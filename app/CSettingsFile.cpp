#include "CSettingsFile.h"

#include "FileIo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

// Far more than six numbers and four paths need; a larger file is not ours.
constexpr size_t kMaxSettingsBytes = 1 << 20;

std::string SystemPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

QString CSettingsFile::Path()
{
    // Where QSettings itself keeps an organisation's application settings.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           QString::fromLatin1(kOrganisation) + QLatin1Char('/') + QString::fromLatin1(kApplication) +
           QStringLiteral(".conf");
}

CSettingsFile::CSettingsFile()
{
    std::string bytes;
    std::string message;
    if (!ReadRegularFile(SystemPath(Path()), bytes, message, kMaxSettingsBytes))
        bytes.clear();
    const QString copy = m_copyDir.filePath(QStringLiteral("settings.conf"));
    if (m_copyDir.isValid()) {
        QFile file(copy);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes.data(), qint64(bytes.size()));
    }
    m_settings = std::make_unique<QSettings>(copy, QSettings::IniFormat);
}

CSettingsFile::~CSettingsFile() = default;

QString CSettingsFile::Save()
{
    m_settings->sync();
    if (!m_copyDir.isValid() || m_settings->status() != QSettings::NoError)
        return QStringLiteral("the settings could not be prepared for writing");
    QFile copy(m_settings->fileName());
    if (!copy.open(QIODevice::ReadOnly))
        return copy.errorString();
    const QByteArray bytes = copy.readAll();
    const QString path = Path();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const FileResult written =
        WriteRegularFileAtomically(SystemPath(path), std::string_view(bytes.constData(), size_t(bytes.size())));
    return written.ok ? QString() : QString::fromLocal8Bit(written.message.c_str());
}
