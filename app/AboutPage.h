#pragma once
#include <QString>

// The "about" page that the start picture opens: <prefix>/share/mycook/about.html
// for an executable in <prefix>/bin, else the copy beside the executable (the
// build tree). The installed place is returned when neither exists.
QString AboutPageFile(const QString& executableFolder);
