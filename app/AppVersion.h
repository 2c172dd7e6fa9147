// The program's version text as the splash and the About box show it.
#pragma once

#include <QString>

// "Version %u.%u.%u Build %u" with the four parts of the program's file version.
QString GetAppVersionText();
