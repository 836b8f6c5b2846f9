#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

class QSettings;

// The user's settings file ("Korvo Application/Korvo.conf" in the user's
// configuration folder), read and written only through the program's own
// file functions: the file is read when it is a regular file (a named pipe
// there would block every start; anything that is not read counts as empty,
// so every value takes its default), its text is handed to QSettings in a
// private copy, and Save() writes the copy back through
// WriteRegularFileAtomically.
class CSettingsFile {
public:
    CSettingsFile();
    ~CSettingsFile();
    CSettingsFile(const CSettingsFile&) = delete;
    CSettingsFile& operator=(const CSettingsFile&) = delete;

    // The names the settings are kept under, which are also the
    // application's organisation and application names.
    static constexpr const char* kOrganisation = "Korvo Application";
    static constexpr const char* kApplication = "Korvo";

    // Where the settings live for this user.
    static QString Path();

    QSettings& Settings() { return *m_settings; }
    // Writes the settings back; an empty text on success, otherwise why not.
    QString Save();

private:
    QTemporaryDir m_copyDir;
    std::unique_ptr<QSettings> m_settings;
};
