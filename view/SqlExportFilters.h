#pragma once

#include "SqlDialect.h"

#include <QString>
#include <QStringList>

// The filters of Export SQL's save dialog: Korvo's own script first, the
// default, then one for each dialect a script can be written in.
QStringList SqlExportFilters();

// The dialect of the script a chosen filter asks for. Korvo's filter, and a
// text that is no filter of the list (a dialog that named none), give Korvo.
SqlDialect SqlExportDialect(const QString& filter);
