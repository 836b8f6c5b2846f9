#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Writes bytes to a file, failing the test when it cannot.
void WriteBytes(const QString& path, const QByteArray& bytes);
// The bytes of a little-endian int32.
QByteArray Int32(int32_t value);
